#pragma once

class QTextStream;

namespace vantrel {

class Profile;
struct RulesRequest;

// A start that lists or edits the auto-receive rules: the running copy of the profile does it
// (so that an edit holds there at once), or, when no copy runs, the rules file itself.
namespace rulesstart {

// The process's exit code; the reply's texts go to `out` and `errors`.
int Run(const Profile& profile, const RulesRequest& request, QTextStream& out, QTextStream& errors);

} // namespace rulesstart

} // namespace vantrel
