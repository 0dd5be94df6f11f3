#include "netutil/updatereply.h"

#include "core/base/cututf8.h"

#include <cctype>
#include <charconv>
#include <system_error>

namespace vantrel {

namespace {

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::optional<QString> UpdateReply::Token(const QByteArray& text, const QByteArray& key,
                                          int maxBytes)
{
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return std::nullopt;
    qsizetype begin = at + key.size();
    while (begin < text.size() && IsSpace(text[begin]))
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != '\0')
        ++end;
    return QString::fromUtf8(CutUtf8(text.mid(begin, end - begin), maxBytes));
}

UpdateReply UpdateReply::Parse(const QByteArray& text)
{
    UpdateReply reply;
    const QByteArray key = QByteArrayLiteral("VNTVersion=");
    const qsizetype at = text.indexOf(key);
    if (at >= 0) {
        // Leading white space skipped, stops at the first character foreign to the number, no
        // number at all reads as 0; independent of the user's locale.
        qsizetype begin = at + key.size();
        while (begin < text.size() && IsSpace(text[begin]))
            ++begin;
        const char* first = text.constData() + begin;
        const char* last = text.constData() + text.size();
        double value = 0;
        if (first < last && *first == '+')
            ++first;
        if (std::from_chars(first, last, value).ec != std::errc())
            value = 0;
        reply.version = value;
    }
    reply.downloadUrl = Token(text, QByteArrayLiteral("URL="), MaxUrlBytes);
    reply.publicAddress = Token(text, QByteArrayLiteral("YourIP="), MaxAddressBytes);
    reply.featuresUrl = Token(text, QByteArrayLiteral("NewFeatURL="), MaxUrlBytes);
    return reply;
}

} // namespace vantrel
