#pragma once

#include <string>

#include <sys/types.h>

namespace testing_support {

// How often the thread called `name` of process `pid` went to sleep and woke up so far (its
// voluntary context switches); -1 while the process has no such thread.
long ThreadWakeUps(pid_t pid, const std::string& name);

// True once that thread stayed asleep for a whole half second, trying for a few seconds (what just
// happened may keep it awake for a moment).
bool ThreadSleeps(pid_t pid, const std::string& name);

} // namespace testing_support
