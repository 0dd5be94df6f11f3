#pragma once

#include <QByteArray>
#include <QString>

namespace vantrel {

// Names and texts that arrive from a peer. A peer's file name is never trusted as a path:
// only its last component is kept ("/" and "\" both separate), control and invisible
// formatting characters go, and what is left can never be empty, "." or "..".
namespace safename {

// What a name falls back to when nothing usable is left of it.
inline constexpr char FallbackFileName[] = "received-file";
inline constexpr char FallbackDirectoryName[] = "received-directory";

// The name to create inside a chosen folder, at most MaxFileNameBytes of UTF-8.
QString SafeBaseName(const QByteArray& offeredName, bool directory = false);

// A peer's text for display: UTF-8 without control or invisible formatting characters
// (line breaks and tabs stay, for a multi-line description).
QString PrintableText(const QByteArray& text);

} // namespace safename

} // namespace vantrel
