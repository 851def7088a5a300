// Work too long for the window's thread: it runs on a worker while the window keeps painting and
// answering timers and posted events; user input waits until the work is done, so nothing the
// work reads can be changed by the user meanwhile.
#pragma once

#include <cstddef>
#include <functional>

namespace qm {

// Texts from this size on (bytes) are converted, laid into the editor or written to their files
// off the window's thread: about 20 ms of conversion on the window's thread at most.
constexpr size_t kOffThreadBytes = size_t{1} << 20;

// Runs `work` on a new thread and returns when it has finished. Needs a running application
// object; the caller's objects stay untouched by user input until the return. Without
// `answerTimers` the window's timers wait as well, for work on objects that timers use.
void RunOffThread(const std::function<void()>& work, bool answerTimers = true);

// The same for work that the user may stop (a search): the window answers user input as well
// meanwhile, so the work must read nothing the user can change.
void RunOffThreadAnsweringInput(const std::function<void()>& work);

}  // namespace qm
