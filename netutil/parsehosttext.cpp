#include "netutil/parsehosttext.h"

namespace vantrel {

namespace {

// Reads a decimal number the way the C library does (leading blanks, optional sign), keeping
// only its low 16 bits. Nothing when no digit follows or the number is negative.
bool ReadPort(const QString& text, std::uint16_t& port)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    std::uint32_t value = 0;
    bool anyDigit = false;
    bool nonZero = false;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const auto digit = static_cast<std::uint32_t>(text[i].unicode() - u'0');
        value = (value * 10 + digit) & 0xFFFFu;
        nonZero = nonZero || digit != 0;
        anyDigit = true;
    }
    if (!anyDigit || (negative && nonZero))
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

HostAndPort ParseHostText(const QString& text)
{
    QString host = text;
    const qsizetype paren = host.indexOf(QLatin1Char('('));
    if (paren >= 0)
        host.truncate(paren);
    host = host.trimmed();

    HostAndPort result;
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        if (!ReadPort(host.mid(colon + 1), result.port))
            result.port = DefaultServerPort;
        host.truncate(colon);
        host = host.trimmed();
    }
    result.host = host;
    return result;
}

QString TunnelHostText(const QString& choice)
{
    const qsizetype paren = choice.indexOf(QLatin1Char('('));
    if (paren < 0)
        return choice;
    // Entries read "host (nick)": the blank before "(" goes too.
    return choice.left(paren > 0 ? paren - 1 : 0);
}

} // namespace vantrel
