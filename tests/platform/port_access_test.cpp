#include "platform/port_access.h"
#include "support/printers.h"

#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

struct Case {
    long long lockHolder;
    int openErrno;
    int number;
    const char* reasonHas;
};

TEST(PortAccess, TellsAHeldPortFromMissingRights) {
    const Case cases[] = {
        {4242, 0, comm::PortAlreadyOpen, "process 4242"},
        {4242, EACCES, comm::PortAlreadyOpen, "another program"},
        {0, EBUSY, comm::PortAlreadyOpen, "another program"},
        {0, EACCES, comm::PermissionDenied, "Permission denied"},
        {0, EPERM, comm::PermissionDenied, "group that owns the device"},
        {0, 0, comm::PermissionDenied, "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        const OpenRefusal refusal =
            explainPermissionError("/dev/ttyUSB0", c.lockHolder, c.openErrno);
        EXPECT_EQ(refusal.number, c.number) << c.lockHolder << " " << c.openErrno;
        EXPECT_TRUE(refusal.reason.contains(QLatin1String(c.reasonHas)))
            << refusal.reason.toStdString();
    }
}

} // namespace
