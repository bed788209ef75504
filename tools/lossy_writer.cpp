#include "lossy_writer.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

LossyWriter::LossyWriter(int fd, std::string pattern, long long bytesPerSecond)
    : m_pattern(std::move(pattern))
    , m_thread([this, fd, bytesPerSecond] { run(fd, bytesPerSecond); }) {}

LossyWriter::~LossyWriter() {
    stop();
}

void LossyWriter::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void LossyWriter::run(int fd, long long bytesPerSecond) {
    using Clock = std::chrono::steady_clock;
    const auto step = std::chrono::milliseconds(1);
    // A line never carries more in a step than its rate allows.
    const long long mostPerStep = std::max(1LL, bytesPerSecond / 1000 * 2);
    auto last = Clock::now();
    double owed = 0;
    size_t at = 0;
    while (!m_stop) {
        std::this_thread::sleep_until(last + step);
        const auto now = Clock::now();
        owed = std::min(owed + std::chrono::duration<double>(now - last).count() *
                                   double(bytesPerSecond),
                        double(mostPerStep));
        last = now;
        while (owed >= 1) {
            const size_t n = std::min<size_t>(size_t(owed), m_pattern.size() - at);
            const ssize_t done = ::write(fd, m_pattern.data() + at, n);
            const size_t taken = done > 0 ? size_t(done) : 0;
            m_written += static_cast<long long>(taken);
            m_dropped += static_cast<long long>(n - taken);
            owed -= double(n);
            at = (at + n) % m_pattern.size();
        }
    }
}

std::string LossyWriter::expected(long long count) const {
    std::string bytes;
    bytes.reserve(size_t(count));
    while (bytes.size() < size_t(count))
        bytes.append(m_pattern, 0, std::min(m_pattern.size(), size_t(count) - bytes.size()));
    return bytes;
}
