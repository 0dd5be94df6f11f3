#pragma once

#include "tests/receive/countingunpacker.h"
#include "tests/receive/receivefixture.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

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

    // A receive of `archive` for m_request, accepted into `target`, cut after `cutAt` bytes
    // when given. The sender outlives the transfer.
    struct Run
    {
        std::unique_ptr<ScriptedSender> sender;
        std::unique_ptr<ReceiveTransfer> transfer;
    };
    Run Receive(const QByteArray& archive, const QString& target,
                std::optional<std::uint32_t> cutAt = {});
    // A first attempt at m_archive broken off after `cut` bytes and saved for later, leaving no
    // staging and no target.
    void BreakAndKeep(std::uint32_t cut);
    // The whole of m_archive again, into `target`: the resume question, answered with Resume,
    // offers the kept prefix of `cut` bytes and completes.
    void ResumeInto(const QString& target, std::uint32_t cut);

    std::unique_ptr<CountingUnpacker> m_counting;
    QByteArray m_archive;
    RequestHeader m_request;
};

// Where a complete archive's central directory starts, as its end record says.
qsizetype CentralDirectoryOffset(const QByteArray& archive);

} // namespace vantrel::test
