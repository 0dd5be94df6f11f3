#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace vantrel::bench {

// What the benchmark must undo when Ctrl+C (SIGINT), SIGTERM or SIGHUP ends it early: the
// registered commands run (ending sshd's sessions, removing network namespaces and the work
// folder), then the processes it started (sshd, the tool being timed) get SIGTERM, and the
// program exits with 128 + the signal.
// Normal ends and failures clean up through the owners' destructors; this covers only the
// signal, and uses nothing but async-signal-safe calls there.
class SignalCleanup
{
public:
    // Installs the handlers; call once, before anything is registered.
    static void Install();

    // A process (or, negative, a process group) to end at a signal; Forget when it has ended.
    static void AddProcess(pid_t pid);
    static void ForgetProcess(pid_t pid);

    // A command (program found on the PATH now, with its arguments) to run at a signal, in
    // the order added; returns its slot for Forget.
    static int AddCommand(const QStringList& command);
    static void ForgetCommand(int slot);
};

} // namespace vantrel::bench
