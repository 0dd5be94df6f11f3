#pragma once

#include "core/sendrequest.h"
#include "send/sendoutcome.h"

#include <QString>

#include <functional>

class QTextStream;

namespace vantrel {

class Profile;

// One transfer from the command line with the profile's certificates, nickname and port,
// beside a running copy of the same profile: it never listens. Progress goes to `out` (one
// bar redrawn in place on a terminal, a few plain lines otherwise); SIGINT or SIGTERM ends
// the transfer as a vanished sender would.
namespace commandlinesend {

// The exit codes, also in the help text.
enum ExitCode
{
    Delivered = 0,
    Failed = 1,
    Refused = 3,
    Unreachable = 4,
    Untrusted = 5,
    VersionMismatch = 6,
    Interrupted = 130
};

// The exit code of a send that ended for `reason`: one table, so that no wording decides it.
int ExitCodeOf(SendReason reason);

// `terminal`: progress is drawn in place. `ask`, when given, puts a yes-or-no question to the
// person at the terminal (an untrusted receiver's authority); without it nothing is asked.
int Run(const Profile& profile, const SendRequest& request, QTextStream& out, QTextStream& errors,
        bool terminal, const std::function<bool(const QString& question)>& ask = {});

} // namespace commandlinesend

} // namespace vantrel
