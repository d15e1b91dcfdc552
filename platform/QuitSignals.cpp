#include "platform/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace parelix {

namespace {

int pipeRead = -1;
int pipeWrite = -1;

// Runs in signal context: one write(2), which is async-signal-safe, and errno kept for the
// code it interrupted. A full pipe already holds a byte, which says enough.
void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipeWrite, &byte, 1);
    errno = saved;
}

}  // namespace

int catchQuitSignals() {
    if (pipeRead >= 0) return pipeRead;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
    pipeRead = fds[0];
    pipeWrite = fds[1];

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: neither Qt nor the file code has to expect EINTR.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        // A signal ignored from the start stays ignored: nohup's SIGHUP, a background job's SIGINT.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    return pipeRead;
}

bool takeQuitSignals(int fd) {
    bool any = false;
    char buffer[64];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) any = true;
    return any;
}

}  // namespace parelix
