#pragma once

#include "core/sendrequest.h"

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

int Run(const Profile& profile, const SendRequest& request, QTextStream& out, QTextStream& errors,
        bool terminal);

} // namespace commandlinesend

} // namespace vantrel
