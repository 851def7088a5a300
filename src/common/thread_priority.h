// Background threads (reading an import, writing its records into the log, checkpoints,
// speech synthesis) give way to the window's thread when the processors are busy.
#pragma once

namespace qm {

// Lowers the calling thread's scheduling priority (nice 10). Does nothing where that fails.
void LowerCurrentThreadPriority();

}  // namespace qm
