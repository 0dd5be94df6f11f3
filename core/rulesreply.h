#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vantrel {

// What a listing or an edit of the auto-receive rules answers: the exit code of the command,
// and its texts for standard output and standard error.
struct RulesReply
{
    int exitCode = 0;
    QString output;
    QString errors;

    QByteArray Encode() const;
    // Nothing when the bytes are not one reply.
    static std::optional<RulesReply> Decode(const QByteArray& bytes);
};

} // namespace vantrel
