#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a serial device: the program opens
// portPath(); the test plays the device on the other end.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString portPath() const { return m_portPath; }
    // The device sends bytes.
    void write(const QByteArray& bytes);
    // What the program has sent so far and the test has not read yet.
    QByteArray readAvailable();
    // Runs the event loop until `count` bytes came from the program, or the
    // deadline passed; returns what came.
    QByteArray read(qsizetype count, int milliseconds = 5000);
    // The device goes away.
    void closeDevice();

private:
    int m_device = -1;
    int m_port = -1;
    QString m_portPath;
};
