#include "device_link/ThreadPriority.h"

#include <array>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr std::array<int, 7> Niceness = {19, 10, 5, 0, -5, -10, -20};
}

int CurrentThreadId() { return static_cast<int>(::syscall(SYS_gettid)); }

void ApplyThreadPriority(int threadId, TThreadPriority priority) {
    // On Linux the niceness of PRIO_PROCESS with a thread id is that thread's own.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), Niceness[static_cast<std::size_t>(priority)]);
}
