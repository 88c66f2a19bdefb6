#include "choice/StandardStreams.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

bool outputWasClosed = false;

}  // namespace

void OpenClosedStandardStreams() {
#ifdef _WIN32
    // A Windows program's standard handles are not descriptors that the next file opened could
    // take; one that leads nowhere is answered where the report is written (UseParentConsole).
#else
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
#endif
}

bool StandardOutputWasClosed() { return outputWasClosed; }

void UseParentConsole() {
#ifdef _WIN32
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS) == FALSE) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
#endif
}
