#pragma once
// Commands started in a process group of their own, so that a command and everything it
// started (a pipeline under `sh -c`, a `timeout` and its child) are ended together: SIGTERM
// to the whole group, then SIGKILL to whatever is left after a grace period.
#include <sys/types.h>
#include <QProcess>
#include <chrono>

namespace kyvdash {

// How long a group has between SIGTERM and SIGKILL.
inline constexpr std::chrono::milliseconds kEndGrace{2000};

// Makes `process` start its command as the leader of a new process group (set before
// start()); the group's id is then the process id.
void startInOwnGroup(QProcess& process);

// Sends SIGTERM to group `group` and waits up to `grace` for all of it to end; sends
// SIGKILL to what is left. Blocks the caller for at most `grace`.
void endGroup(pid_t group, std::chrono::milliseconds grace = kEndGrace);

// Sends SIGTERM to group `group` now and SIGKILL after `grace` if any of it is left; does
// not block.
void endGroupLater(pid_t group, std::chrono::milliseconds grace = kEndGrace);

// Whether any process of group `group` is still there (an ended one not yet reaped by its
// parent does not count).
bool groupAlive(pid_t group);

}  // namespace kyvdash
