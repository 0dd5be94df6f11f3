#include "tests/receive/countedreceivefixture.h"

#include "core/base/littleendian.h"
#include "core/base/ziprecords.h"

#include <QDir>

namespace vantrel::test {

void CountedReceiveFixture::SetUp()
{
    ReceiveFixture::SetUp();
    m_counting = std::make_unique<CountingUnpacker>(m_services.unpacker);
    m_services.unpacker = m_counting.get();
}

QStringList CountedReceiveFixture::Leftovers() const
{
    QStringList names =
        QDir(m_data.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) { return !name.startsWith(QLatin1Char('.')); });
    return names;
}

qsizetype CentralDirectoryOffset(const QByteArray& archive)
{
    const auto* end = reinterpret_cast<const std::uint8_t*>(archive.constData()) + archive.size() -
                      ziprecords::EndSize;
    return littleendian::GetU32(end + 16);
}

} // namespace vantrel::test
