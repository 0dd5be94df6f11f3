#pragma once

#include <QByteArray>
#include <QString>

namespace vantrel::atomicfile {

// Replaces `path` with `bytes` so that a crash, a full disk or a size limit at any point
// leaves either the old file or the new one, never a mixture: the bytes go to a new file
// beside it, every one of them checked, flushed to disk, then renamed over `path`, and the
// folder is flushed too. An existing file's permissions carry over. False when anything
// failed; `path` is then untouched and no stray file is left.
bool Write(const QString& path, const QByteArray& bytes);

// Creates a new, empty file beside `path` under a name no file had (permissions as for any
// new file) and returns its name; empty when the folder refuses.
QString CreateBeside(const QString& path);

// Flushes `path` (a file or a folder) to disk. False when it cannot be opened or flushed.
bool Sync(const QString& path);

} // namespace vantrel::atomicfile
