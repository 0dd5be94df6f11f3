#include "core/base/nickname.h"

namespace vantrel {

QString EffectiveNickName(const QString& nickName)
{
    return nickName.isEmpty() ? AnonymousNickName : nickName;
}

QByteArray OwnNickName(const std::function<QByteArray()>& source)
{
    const QByteArray nick = source ? source() : QByteArray();
    return nick.isEmpty() ? AnonymousNickName.toUtf8() : nick;
}

} // namespace vantrel
