#include "choice/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool outputWasClosed = false;

}  // namespace

void OpenClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == STDOUT_FILENO) outputWasClosed = true;
        // The lowest free descriptor is fd itself, the lower ones being open by now.
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null != -1 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

bool StandardOutputWasClosed() { return outputWasClosed; }
