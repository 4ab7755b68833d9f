// Two pieces of work at once.
#pragma once

#include <functional>

namespace kalix {

// Runs `first` on the calling thread and `second` on a thread of its own,
// and returns when both have ended. An exception thrown by either is thrown
// again here once both have ended (the first's when both threw). On a
// machine with a single processor both run here, one after the other.
void RunInParallel(const std::function<void()>& first, const std::function<void()>& second);

// Whether RunInParallel runs its two pieces at once on this machine.
bool HasSecondProcessor();

}  // namespace kalix
