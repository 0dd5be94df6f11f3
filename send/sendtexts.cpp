#include "send/sendtexts.h"

#include <QCoreApplication>

namespace vantrel::sendtexts {

QString LargeSize(std::uint64_t bytes)
{
    return QCoreApplication::translate("FormatSize", "%1 Mb")
        .arg(QString::asprintf("%.2f", static_cast<double>(bytes) / 1048576.0));
}

} // namespace vantrel::sendtexts
