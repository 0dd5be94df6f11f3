#include "core/rulesreply.h"

#include <QDataStream>
#include <QIODevice>

namespace vantrel {

QByteArray RulesReply::Encode() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << static_cast<qint32>(exitCode) << output << errors;
    return bytes;
}

std::optional<RulesReply> RulesReply::Decode(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    qint32 code = 0;
    RulesReply reply;
    in >> code >> reply.output >> reply.errors;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    reply.exitCode = code;
    return reply;
}

} // namespace vantrel
