#pragma once

#include <QString>

namespace vantrel {

// Creates a new empty file "<prefix><n>.zip" in `folder` (created when missing), with the
// first number n that no file there holds yet: the file is created exclusively, so two
// transfers, or a file left by an earlier run, never share a name. Returns its path, or an
// empty text when no file could be created.
QString CreateTempArchive(const QString& folder, const QString& prefix);

} // namespace vantrel
