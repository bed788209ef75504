#pragma once

#include <QCoreApplication>
#include <QProcess>

// Another program holding a port open for as long as this object lives.
class PortHolder {
public:
    explicit PortHolder(const QString& path) {
        m_process.start(QCoreApplication::applicationFilePath(), {"--hold-port", path});
        m_process.waitForReadyRead(10000);
        m_held = m_process.readAll().startsWith("held");
    }
    ~PortHolder() {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }
    bool held() const { return m_held; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_held = false;
};
