#include "tunnel/printablenick.h"

#include <QList>

namespace vantrel {

QString PrintableNick(const QByteArray& nickName)
{
    QString result;
    for (const char32_t c : QString::fromUtf8(nickName).toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category != QChar::Other_Control && category != QChar::Other_Format)
            result.append(QString::fromUcs4(&c, 1));
    }
    return result;
}

} // namespace vantrel
