#include "platform/capture_file.h"

namespace {

// Written at once past this, else within FlushMs.
constexpr qsizetype FlushAt = 64 << 10;
constexpr int FlushMs = 500;

} // namespace

std::unique_ptr<CaptureFile> CaptureFile::open(const QString& path, QString* why) {
    std::unique_ptr<CaptureFile> capture(new CaptureFile(path));
    if (!capture->m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *why = capture->m_file.errorString();
        return {};
    }
    return capture;
}

CaptureFile::CaptureFile(const QString& path)
    : m_file(path) {
    m_waiting.reserve(FlushAt);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CaptureFile::flush);
}

void CaptureFile::write(QByteArrayView bytes) {
    if (!m_file.isOpen() || bytes.isEmpty())
        return;
    m_waiting.append(bytes);
    if (m_waiting.size() >= FlushAt)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void CaptureFile::flush() {
    m_flushTimer.stop();
    if (!m_file.isOpen() || m_waiting.isEmpty())
        return;
    const bool written = m_file.write(m_waiting) == m_waiting.size();
    m_waiting.truncate(0);
    if (written)
        return;
    const QString reason = m_file.errorString();
    m_file.close();
    emit stopped(reason);
}
