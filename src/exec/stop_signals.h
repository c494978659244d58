#pragma once

namespace velmora {

// From now on, SIGINT, SIGTERM and SIGHUP no longer end this process at once:
// they are noted, so that the tools it runs can be stopped first (a tool runs
// in a session of its own, where a terminal's Ctrl-C never reaches it).
// Returns a descriptor that turns readable once such a signal has come, for
// an event loop to watch; -1 when none could be made (the signals are still
// noted).
int CatchStopSignals();

// The first stop signal that came; 0 while none has.
int CaughtStopSignal();

}  // namespace velmora
