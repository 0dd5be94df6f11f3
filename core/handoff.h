#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vantrel {

class ProgramFolder;

// The hand-off file "filename.vnt": one path's bytes followed by a NUL, rewritten for every
// hand-off and read with one read of 512 bytes. Paths are bytes in the file system's encoding.
namespace handoff {

inline constexpr int MaxPathBytes = 511;
inline const QString FileName = QStringLiteral("filename.vnt");

QString FilePath(const ProgramFolder& folder);

// The arguments after the program name as one path: joined by single spaces, with one pair
// of surrounding double or single quotes removed (launchers that quote "%f" themselves).
QByteArray CommandLineTail(const QList<QByteArray>& arguments);

// A relative path made absolute against the current folder: the running copy reading it
// works in its program folder, not where the path was typed.
QByteArray Absolute(const QByteArray& path);

// The path as stored: at most MaxPathBytes bytes, never ending inside a UTF-8 sequence.
QByteArray FitPath(const QByteArray& path);
// True when the path's bytes fit the file whole (a cut path would name something else).
bool Fits(const QString& path);
// The bytes of a path as the file system sees them.
QByteArray EncodePath(const QString& path);

// Writes FitPath(path) and its NUL, replacing the file's content. False when it cannot.
bool WriteFile(const QString& file, const QByteArray& path);
// The path up to its NUL (or the end of the 512 bytes read); nothing when the file cannot
// be opened.
std::optional<QByteArray> ReadFile(const QString& file);

} // namespace handoff

} // namespace vantrel
