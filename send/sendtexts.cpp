#include "send/sendtexts.h"

#include <QCoreApplication>

namespace vantrel::sendtexts {

QString LargeSize(std::uint64_t bytes)
{
    return QCoreApplication::translate("FormatSize", "%1 Mb")
        .arg(QString::asprintf("%.2f", static_cast<double>(bytes) / 1048576.0));
}

QString TrustExplanation(bool authorityPresented)
{
    if (authorityPresented)
        return QCoreApplication::translate(
            "SendTexts",
            "This computer does not trust the receiver's authority yet. Compare the fingerprint "
            "with the one on the receiver's Options page and trust it only when they are the "
            "same.");
    return QCoreApplication::translate(
        "SendTexts",
        "The receiver presented its own certificate without its authority, so it cannot be "
        "trusted from here. Import the receiver's authority file (from vantrel --export-ca "
        "there) in the Trusted computers window, or with vantrel --trust FILE.");
}

} // namespace vantrel::sendtexts
