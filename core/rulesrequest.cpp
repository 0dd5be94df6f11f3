#include "core/rulesrequest.h"

#include <QDataStream>
#include <QIODevice>

namespace vantrel {

QByteArray RulesRequest::Encode() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << static_cast<qint32>(kind) << host << saveFolder << bandLimit << number;
    return bytes;
}

std::optional<RulesRequest> RulesRequest::Decode(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    qint32 kind = -1;
    RulesRequest request;
    in >> kind >> request.host >> request.saveFolder >> request.bandLimit >> request.number;
    if (in.status() != QDataStream::Ok || !in.atEnd() || kind < 0 ||
        kind > static_cast<qint32>(Kind::Remove))
        return std::nullopt;
    request.kind = static_cast<Kind>(kind);
    return request;
}

} // namespace vantrel
