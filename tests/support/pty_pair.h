#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// A pseudo-terminal pair standing in for a serial device: the program opens
// portPath(); the test plays the device on the other end.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString portPath() const { return m_portPath; }
    // The device's end, non-blocking, for a device played on a thread.
    int deviceEnd() const { return m_device; }
    // The device sends bytes.
    void write(const QByteArray& bytes);
    // What the program has sent so far and the test has not read yet.
    QByteArray readAvailable();
    // From now on the device reads on a thread of its own, as fast as bytes
    // come or paced to bytesPerSecond, so that the program can send while the
    // test waits in a handler; readAvailable() and read() give what it read.
    void readInBackground(long long bytesPerSecond = 0);
    // Runs the event loop until `count` bytes came from the program, or the
    // deadline passed; returns what came.
    QByteArray read(qsizetype count, int milliseconds = 5000);
    // The device goes away.
    void closeDevice();

private:
    void stopReading();
    QByteArray readNow();

    int m_device = -1;
    std::mutex m_mutex;
    QByteArray m_readSoFar;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    int m_port = -1;
    QString m_portPath;
};
