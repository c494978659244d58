#pragma once

#include <sys/types.h>

// The process groups of the tools we run are watched over from a process of
// their own, so that they end when we end, however we end: after a SIGKILL,
// the OOM killer or a crash, no tool goes on writing into its destination with
// nobody watching. That process holds one end of a socket whose other end
// only we hold (closed on exec, so no tool inherits it). When it reads the
// end of the stream we are gone, and it stops every group still registered
// as a stop does: SIGTERM, then SIGKILL to what is left 3 seconds later.
//
// A normal run is not touched: its group is registered once its tool has
// started and unregistered before the tool is reaped. A tool that puts itself
// into a session of its own on purpose leaves its group, and escapes this as
// it escapes a stop.

namespace velmora {

// Registers the process group led by our child `group`, which must not have
// been reaped yet (its number is then still its own). The watching process
// is started with the first registration, and again when it has gone (it is
// then told every group still registered). False when none can be started or
// too many groups are registered: the tool then runs unwatched.
bool WatchProcessGroup(pid_t group);

// Ends the watch over `group`. Called before its leader is reaped: once the
// leader is reaped, the number may become another process's.
void UnwatchProcessGroup(pid_t group);

}  // namespace velmora
