#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace vantrel {

// What travels in place of an empty NickName setting.
inline const QString AnonymousNickName = QStringLiteral("Anonymous");

// The nickname that travels: `nickName`, or "Anonymous" when it is empty.
QString EffectiveNickName(const QString& nickName);

// The running copy's nickname now (UTF-8), asked of the source a transfer was lent;
// "Anonymous" when there is no source or it gives nothing.
QByteArray OwnNickName(const std::function<QByteArray()>& source);

} // namespace vantrel
