#pragma once

#include <QByteArray>
#include <QString>

namespace vantrel {

// A peer's nickname for a list cell: UTF-8 without control or invisible formatting
// characters, which could disguise it or break the row.
QString PrintableNick(const QByteArray& nickName);

} // namespace vantrel
