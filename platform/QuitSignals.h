#pragma once
// The signals that ask the program to end: SIGTERM (the session's logout), SIGHUP and
// SIGINT. Their handler only writes a byte to a pipe; the event loop watches the pipe's read
// end and ends the program in its own time, deleting its work files on the way out.

namespace parelix {

// Installs the handlers (once; later calls return the same pipe) and returns the pipe's
// read end, non-blocking. -1 when no pipe could be made: the signals then keep their
// default action. A signal ignored when the program starts stays ignored.
int catchQuitSignals();

// Empties the pipe; true when a signal had come since the last call.
bool takeQuitSignals(int fd);

}  // namespace parelix
