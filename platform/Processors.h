#pragma once
// How many processors this process may run on, and how many of them other programs leave
// free right now: threads that only help are worth starting when a processor would run them.
namespace parelix {

// The processors this process may run on (its affinity), at least 1.
unsigned processorsAllowed();
// Of those, the ones no runnable task of another program wants now, from the system's count of
// runnable tasks; `ownRunnable` of them are this process's own (the caller's thread
// included). An instant's view: callers look more than once before they decide.
unsigned processorsIdle(unsigned ownRunnable);

}  // namespace parelix
