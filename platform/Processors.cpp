#include "platform/Processors.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>

namespace parelix {

unsigned processorsAllowed() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    const int count = CPU_COUNT(&set);
    return count > 0 ? static_cast<unsigned>(count) : 1u;
}

unsigned processorsIdle(unsigned ownRunnable) {
    const unsigned allowed = processorsAllowed();
    // The fourth field of /proc/loadavg: tasks runnable now / tasks in all.
    const int fd = ::open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return allowed;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return allowed;
    text[n] = '\0';
    double ignored[3];
    unsigned runnable = 0;
    if (std::sscanf(text, "%lf %lf %lf %u/", &ignored[0], &ignored[1], &ignored[2], &runnable) != 4) return allowed;
    const unsigned others = runnable > ownRunnable ? runnable - ownRunnable : 0;
    return others >= allowed ? 0 : allowed - others;
}

}  // namespace parelix
