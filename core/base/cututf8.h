#pragma once

#include <QByteArray>

namespace vantrel {

// The longest start of `text` that fits in maxBytes without splitting a UTF-8 character.
// Cutting never rewrites the bytes it keeps: a text that fits comes back unchanged, and
// valid UTF-8 stays valid. A byte that does not begin a complete, well-formed character
// (a stray continuation byte, a truncated or overlong sequence, a surrogate) counts as a
// character of its own, so invalid input is cut byte by byte there and never loses more
// than the bytes beyond the limit.
QByteArray CutUtf8(const QByteArray& text, int maxBytes);

} // namespace vantrel
