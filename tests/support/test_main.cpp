// Test executables run the real window offscreen; gtest_discover_tests starts
// them outside CTest's environment, so the platform is chosen here.
#include <QApplication>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// `--hold-port PATH`: another program that holds a port open until its input
// closes, for tests of a port in use.
int holdPort(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QSerialPort port(QString::fromLocal8Bit(argv[2]));
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-port") == 0)
        return holdPort(argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
