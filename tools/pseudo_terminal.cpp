#include "pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

bool openPseudoTerminal(PseudoTerminal& ends, bool nonBlockingDevice) {
    const int device = posix_openpt(O_RDWR | O_NOCTTY | (nonBlockingDevice ? O_NONBLOCK : 0));
    const char* name =
        device >= 0 && grantpt(device) == 0 && unlockpt(device) == 0 ? ptsname(device) : nullptr;
    const int port = name ? open(name, O_RDWR | O_NOCTTY) : -1;
    termios raw{};
    if (port < 0 || tcgetattr(port, &raw) != 0 ||
        (cfmakeraw(&raw), tcsetattr(port, TCSANOW, &raw)) != 0) {
        const int error = errno;
        if (port >= 0)
            close(port);
        if (device >= 0)
            close(device);
        errno = error;
        return false;
    }
    ends = {device, port, name};
    return true;
}
