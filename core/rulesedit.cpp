#include "core/rulesedit.h"

#include "receive/autoreceiverules.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel::rulesedit {

namespace {

// One line per rule, its fields separated by tabs so that scripts can cut them apart.
QString Line(qsizetype index, const AutoReceiveRule& rule)
{
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
        .arg(index + 1)
        .arg(rule.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"), rule.host,
             rule.saveFolder, rule.BandLimitText());
}

RulesReply Failure(const QString& text)
{
    return {1, {}, QStringLiteral("Vantrel: %1\n").arg(text)};
}

RulesReply Saved(const AutoReceiveRules& rules, const QString& file, const QString& done)
{
    if (!rules.Save(file))
        return Failure(QStringLiteral("cannot write %1.").arg(file));
    return {0, done, {}};
}

} // namespace

RulesReply Apply(AutoReceiveRules& rules, const RulesRequest& request, const QString& file)
{
    const auto& list = rules.rules();
    switch (request.kind) {
    case RulesRequest::Kind::List: {
        RulesReply reply;
        for (qsizetype i = 0; i < qsizetype(list.size()); ++i)
            reply.output += Line(i, list[size_t(i)]);
        if (list.empty())
            reply.errors = QStringLiteral("Vantrel: there are no auto-receive rules.\n");
        return reply;
    }
    case RulesRequest::Kind::Add: {
        const AutoReceiveRules::Check check =
            rules.Add({request.host, request.saveFolder, request.bandLimit});
        if (check != AutoReceiveRules::Check::Ok)
            return Failure(AutoReceiveRules::CheckMessage(check).text);
        const qsizetype index = qsizetype(list.size()) - 1;
        return Saved(rules, file, QStringLiteral("Added rule ") + Line(index, list.back()));
    }
    case RulesRequest::Kind::Remove: {
        if (request.number < 1 || request.number > qint64(list.size())) {
            return Failure(QStringLiteral("there is no rule %1; there are %2 rules.")
                               .arg(request.number)
                               .arg(list.size()));
        }
        const qsizetype index = qsizetype(request.number - 1);
        const QString removed = Line(index, list[size_t(index)]);
        rules.Delete(int(index));
        return Saved(rules, file, QStringLiteral("Removed rule ") + removed);
    }
    }
    return Failure(QStringLiteral("unknown request."));
}

RulesReply ApplyToFile(const RulesRequest& request, const QString& file)
{
    AutoReceiveRules rules;
    rules.Load(file);
    if (request.kind != RulesRequest::Kind::List)
        QDir().mkpath(QFileInfo(file).absolutePath());
    return Apply(rules, request, file);
}

QByteArray Answer(AutoReceiveRules& rules, const QByteArray& request, const QString& file)
{
    const std::optional<RulesRequest> decoded = RulesRequest::Decode(request);
    if (!decoded)
        return Failure(QStringLiteral("the running copy did not understand the request.")).Encode();
    return Apply(rules, *decoded, file).Encode();
}

} // namespace vantrel::rulesedit
