#pragma once

#include "tests/receive/countingunpacker.h"
#include "tests/receive/receivefixture.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

namespace vantrel::test {

// The receive fixture for archives whose path through the receiving side matters: every
// unpacking passes through a CountingUnpacker, and what a receive leaves beside its targets
// can be listed.
class CountedReceiveFixture : public ReceiveFixture
{
protected:
    void SetUp() override;

    // Hidden names in the data folder, where the targets go: staging left behind.
    QStringList Leftovers() const;
    std::unique_ptr<CountingUnpacker> m_counting;
};

// Where a complete archive's central directory starts, as its end record says.
qsizetype CentralDirectoryOffset(const QByteArray& archive);

} // namespace vantrel::test
