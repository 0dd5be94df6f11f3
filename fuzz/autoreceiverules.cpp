// "autorec.vnt" as the program reads it at start, and the matching of peers against its rules.
#include "scratchfolder.h"

#include "receive/autoreceiverules.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

using namespace vantrel;

namespace {

QByteArray Bytes(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        fuzz::Fail("cannot read a saved rules file");
    return in.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzz::ScratchFolder scratch;
    scratch.Empty();
    const QString file = scratch.file(QStringLiteral("autorec.vnt"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
                static_cast<qint64>(size))
            fuzz::Fail("cannot write the rules file");
    }

    AutoReceiveRules rules;
    rules.Load(file);
    for (const AutoReceiveRule& rule : rules.rules()) {
        if (rule.bandLimit < 0)
            fuzz::Fail("a negative band limit survived the load");
        const auto match = rules.MatchAutoReceive(rule.host, 0x7F000001u);
        if (rule.enabled && !rule.host.isEmpty() && !match)
            fuzz::Fail("an enabled rule does not match its own host");
    }

    // Once saved, the rules read back the same and save to the same bytes.
    const QString first = scratch.file(QStringLiteral("first.vnt"));
    const QString second = scratch.file(QStringLiteral("second.vnt"));
    if (!rules.Save(first))
        fuzz::Fail("cannot save the rules");
    AutoReceiveRules reloaded;
    reloaded.Load(first);
    if (!reloaded.Save(second) || Bytes(first) != Bytes(second))
        fuzz::Fail("saved rules read back differently");
    return 0;
}
