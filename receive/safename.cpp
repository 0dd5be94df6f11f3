#include "receive/safename.h"

#include "core/base/cututf8.h"
#include "net/wirerecords.h"

#include <QList>

#include <algorithm>

namespace vantrel::safename {

namespace {

// Control characters could rewrite a terminal line or a list cell; bidirectional overrides
// and other invisible formatting could disguise an extension.
bool IsHidden(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

QString WithoutHidden(const QString& text, bool keepLayout)
{
    QString result;
    result.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const bool layout = c == U'\n' || c == U'\r' || c == U'\t';
        if (!IsHidden(c) || (keepLayout && layout))
            result.append(QString::fromUcs4(&c, 1));
    }
    return result;
}

} // namespace

QString SafeBaseName(const QByteArray& offeredName, bool directory)
{
    QString name = WithoutHidden(QString::fromUtf8(offeredName), false);
    const qsizetype cut =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    // Invalid UTF-8 turned into three-byte replacement characters, so a name that fitted the
    // wire field may be too long for the file system, whose names hold as many bytes.
    name = QString::fromUtf8(CutUtf8(name.trimmed().toUtf8(), MaxFileNameBytes));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString::fromLatin1(directory ? FallbackDirectoryName : FallbackFileName);
    return name;
}

QString PrintableText(const QByteArray& text)
{
    return WithoutHidden(QString::fromUtf8(text), true);
}

} // namespace vantrel::safename
