#include "common/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qm {

void LowerCurrentThreadPriority() {
    // On Linux a nice value belongs to a thread: this one alone runs at the lower priority.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, 10);
}

}  // namespace qm
