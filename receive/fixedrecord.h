#pragma once

#include <QByteArray>

#include <cstdint>

namespace vantrel::fixedrecord {

// Little-endian fields and NUL-terminated text fields of the program folder's list files.

inline std::uint32_t ReadU32(const char* at)
{
    const auto* b = reinterpret_cast<const unsigned char*>(at);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

inline void AppendU32(QByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
}

// At most maxBytes, never ending inside a UTF-8 sequence.
inline QByteArray CutUtf8(const QByteArray& text, int maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    int end = maxBytes;
    // Step back over continuation bytes to the start of the sequence that would be cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
        --end;
    return text.left(end);
}

// The bytes up to the first NUL (or the whole field), cut to leave room for a terminator.
inline QByteArray ReadText(const char* at, int width)
{
    int length = 0;
    while (length < width && at[length] != '\0')
        ++length;
    return CutUtf8(QByteArray(at, length), width - 1);
}

// The text, its terminator and zero fill: always exactly `width` bytes.
inline void AppendText(QByteArray& out, const QByteArray& text, int width)
{
    QByteArray field = CutUtf8(text, width - 1);
    // An embedded NUL would end the field early when read back; keep what precedes it.
    const qsizetype nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    out.append(field);
    out.append(QByteArray(width - field.size(), '\0'));
}

} // namespace vantrel::fixedrecord
