#pragma once

#include "core/base/cututf8.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>

namespace vantrel::fixedrecord {

// NUL-terminated text fields of the program folder's list files (their numbers are
// little-endian, see core/base/littleendian.h). A field of `width` bytes holds at most
// width - 1 bytes of text and its terminator.

// The bytes up to the first NUL (or the whole field), cut to leave room for a terminator.
inline QByteArray GetText(const std::uint8_t* field, int width)
{
    const void* nul = std::memchr(field, 0, static_cast<std::size_t>(width));
    const auto length = nul ? static_cast<const std::uint8_t*>(nul) - field : width;
    return CutUtf8(QByteArray(reinterpret_cast<const char*>(field), length), width - 1);
}

// The text into a zero-filled field: cut to fit with its terminator.
inline void PutText(std::uint8_t* field, int width, const QByteArray& text)
{
    QByteArray fitted = CutUtf8(text, width - 1);
    // An embedded NUL would end the field early when read back; keep what precedes it.
    const qsizetype nul = fitted.indexOf('\0');
    if (nul >= 0)
        fitted.truncate(nul);
    std::memcpy(field, fitted.constData(), static_cast<std::size_t>(fitted.size()));
}

// The record at `offset` of a list file's bytes.
inline const std::uint8_t* At(const QByteArray& bytes, qsizetype offset)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.constData()) + offset;
}

inline std::uint8_t* At(QByteArray& bytes, qsizetype offset)
{
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + offset;
}

} // namespace vantrel::fixedrecord
