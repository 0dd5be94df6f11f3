#include "receive/autoreceiverules.h"

#include "core/base/atomicfile.h"
#include "core/base/littleendian.h"
#include "net/securechannel.h"
#include "receive/fixedrecord.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace vantrel {

namespace {

// The rules file: the count, then one record per rule.
constexpr int CountSize = 4;
constexpr int CountOffset = 0;

constexpr int RecordSize = 1032;
constexpr int RecordEnabled = 0;
constexpr int RecordHost = 4;
constexpr int RecordSaveFolder = 516;
constexpr int RecordBandLimit = 1028;
constexpr int TextWidth = 512;

QString CutText(const QString& text)
{
    return QString::fromUtf8(CutUtf8(text.toUtf8(), TextWidth - 1));
}

// A whole number of Kb/sec; blanks around it are tolerated. Text that is no whole number, a
// negative number or one beyond 32 bits counts as 0, no limit.
std::int32_t ParseBandLimit(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype start = trimmed.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (start == trimmed.size())
        return 0;
    qint64 value = 0;
    for (qsizetype i = start; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + (c.unicode() - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return 0;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

QString AutoReceiveRule::BandLimitText() const
{
    if (bandLimit == 0)
        return QCoreApplication::translate("AutoReceiveRule", "No Limit");
    return QCoreApplication::translate("AutoReceiveRule", "%1 Kb/sec").arg(bandLimit);
}

AutoReceiveRules::AutoReceiveRules(QObject* parent) : QObject(parent) {}

std::optional<AutoReceiveMatch>
AutoReceiveRules::MatchAutoReceive(const QString& peerName, std::optional<std::uint32_t> ipv4) const
{
    const QString dotted = ipv4 ? SecureChannel::DottedAddress(*ipv4) : QString();
    for (const AutoReceiveRule& rule : m_rules) {
        // An empty host (only possible from a damaged file) names no peer.
        if (!rule.enabled || rule.host.isEmpty())
            continue;
        if ((ipv4 && rule.host == dotted) || rule.host == peerName)
            // The file's field is signed: a negative value there never limited anything.
            return AutoReceiveMatch{rule.saveFolder,
                                    static_cast<std::uint32_t>(std::max(0, rule.bandLimit))};
    }
    return std::nullopt;
}

void AutoReceiveRules::Load(const QString& file)
{
    using namespace fixedrecord;
    using namespace littleendian;
    m_rules.clear();
    QFile in(file);
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = in.readAll();
        if (bytes.size() >= CountSize) {
            const std::uint32_t count = GetU32(At(bytes, CountOffset));
            // A short or damaged file keeps its complete records only.
            const qsizetype available = (bytes.size() - CountSize) / RecordSize;
            const qsizetype records = std::min<qsizetype>(count, available);
            for (qsizetype i = 0; i < records; ++i) {
                const std::uint8_t* record = At(bytes, CountSize + i * RecordSize);
                AutoReceiveRule rule;
                rule.enabled = GetU32(record + RecordEnabled) == 1;
                rule.host = QString::fromUtf8(GetText(record + RecordHost, TextWidth));
                rule.saveFolder = QString::fromUtf8(GetText(record + RecordSaveFolder, TextWidth));
                // A negative limit was never reached by the throttle: it meant no limit.
                rule.bandLimit = std::max<std::int32_t>(0, GetI32(record + RecordBandLimit));
                m_rules.push_back(rule);
            }
        }
    }
    emit changed();
}

bool AutoReceiveRules::Save(const QString& file) const
{
    using namespace fixedrecord;
    using namespace littleendian;
    QByteArray bytes(CountSize + qsizetype(m_rules.size()) * RecordSize, '\0');
    PutU32(At(bytes, CountOffset), static_cast<std::uint32_t>(m_rules.size()));
    qsizetype offset = CountSize;
    for (const AutoReceiveRule& rule : m_rules) {
        std::uint8_t* record = At(bytes, offset);
        PutU32(record + RecordEnabled, rule.enabled ? 1 : 0);
        PutText(record + RecordHost, TextWidth, rule.host.toUtf8());
        PutText(record + RecordSaveFolder, TextWidth, rule.saveFolder.toUtf8());
        PutI32(record + RecordBandLimit, rule.bandLimit);
        offset += RecordSize;
    }

    return atomicfile::Write(file, bytes);
}

AutoReceiveRules::Check AutoReceiveRules::Validate(Fields& fields) const
{
    if (fields.host.isEmpty())
        return Check::NoHost;
    if (fields.saveDirectory.isEmpty())
        return Check::NoSaveDirectory;
    if (fields.bandLimit.isEmpty())
        return Check::NoBandLimit;

    // One trailing separator goes, but the root folder stays itself.
    if (fields.saveDirectory.size() > 1 && (fields.saveDirectory.endsWith(QLatin1Char('/')) ||
                                            fields.saveDirectory.endsWith(QLatin1Char('\\'))))
        fields.saveDirectory.chop(1);
    // The rule holds what the file can hold, and it is that folder that must exist.
    fields.host = CutText(fields.host);
    fields.saveDirectory = CutText(fields.saveDirectory);
    // A relative folder would depend on where the program happened to be started.
    const QFileInfo folder(fields.saveDirectory);
    if (!folder.isAbsolute() || !folder.isDir())
        return Check::InvalidSaveDirectory;
    return Check::Ok;
}

AutoReceiveRules::Check AutoReceiveRules::Add(const Fields& fields)
{
    Fields checked = fields;
    const Check check = Validate(checked);
    if (check != Check::Ok)
        return check;
    m_rules.push_back(AutoReceiveRule{true, checked.host, checked.saveDirectory,
                                      ParseBandLimit(checked.bandLimit)});
    emit changed();
    return Check::Ok;
}

AutoReceiveRules::Check AutoReceiveRules::Modify(int index, const Fields& fields)
{
    Fields checked = fields;
    const Check check = Validate(checked);
    if (check != Check::Ok)
        return check;
    if (index < 0 || index >= static_cast<int>(m_rules.size()))
        return check;
    AutoReceiveRule& rule = m_rules[index];
    rule.host = checked.host;
    rule.saveFolder = checked.saveDirectory;
    rule.bandLimit = ParseBandLimit(checked.bandLimit);
    emit changed();
    return check;
}

void AutoReceiveRules::Delete(int index)
{
    if (index < 0 || index >= static_cast<int>(m_rules.size()))
        return;
    m_rules.erase(m_rules.begin() + index);
    emit changed();
}

void AutoReceiveRules::SetEnabled(int index, bool enabled)
{
    if (index < 0 || index >= static_cast<int>(m_rules.size()) || m_rules[index].enabled == enabled)
        return;
    m_rules[index].enabled = enabled;
    emit changed();
}

AutoReceiveRules::Message AutoReceiveRules::CheckMessage(Check check)
{
    const QString warningTitle = tr("Warning...");
    switch (check) {
    case Check::NoHost:
        return {tr("You should enter a Hostname or IP Address!"), warningTitle, false};
    case Check::NoSaveDirectory:
        return {tr("You should enter a Save Directory!"), warningTitle, false};
    case Check::NoBandLimit:
        return {tr("You should enter a Band Usage Limit value!"), warningTitle, false};
    case Check::InvalidSaveDirectory:
        return {tr("You must provide a valid Save Directory!"), tr("Error"), true};
    case Check::Ok:
        break;
    }
    return {QString(), QString(), false};
}

} // namespace vantrel
