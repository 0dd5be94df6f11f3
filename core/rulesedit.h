#pragma once

#include "core/rulesreply.h"
#include "core/rulesrequest.h"

#include <QByteArray>
#include <QString>

namespace vantrel {

class AutoReceiveRules;

// The auto-receive rules listed and edited from the command line, with the checks and
// messages of the rules window. An edit is saved at once, so that it outlives a copy that is
// killed before it closes.
namespace rulesedit {

RulesReply Apply(AutoReceiveRules& rules, const RulesRequest& request, const QString& file);
// The same on the file alone, for a profile that no copy runs.
RulesReply ApplyToFile(const RulesRequest& request, const QString& file);
// A request as it came over the local channel, and its reply to send back.
QByteArray Answer(AutoReceiveRules& rules, const QByteArray& request, const QString& file);

} // namespace rulesedit

} // namespace vantrel
