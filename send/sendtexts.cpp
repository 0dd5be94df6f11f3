#include "send/sendtexts.h"

namespace vantrel::sendtexts {

QString LargeSize(std::uint64_t bytes)
{
    return QString::asprintf("%.2f Mb", static_cast<double>(bytes) / 1048576.0);
}

} // namespace vantrel::sendtexts
