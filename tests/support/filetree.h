#pragma once

#include <QByteArray>
#include <QString>

#include <map>

namespace vantrel::test {

// Everything below `root` by relative path, hidden entries included: a folder as
// "<path>/" with no bytes, a file with its bytes ("<unreadable>" when it cannot be read).
// Two trees compare equal when they hold the same names, kinds and contents.
std::map<QString, QByteArray> TreeOf(const QString& root);

} // namespace vantrel::test
