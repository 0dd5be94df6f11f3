#pragma once

#include "receive/receivetransfer.h"
#include "send/sendtransfer.h"
#include "tests/support/enginecopy.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <memory>
#include <string>

namespace vantrel::test {

// Two running copies, Alice and Bob, that trust each other, and a folder for the files they
// send and receive.
class TwoCopies : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A path below the data folder's "src" (sources) or "dst" (destinations) folder.
    QString Source(const QString& name) const;
    QString Destination(const QString& name) const;

    std::unique_ptr<EngineCopy> m_alice;
    std::unique_ptr<EngineCopy> m_bob;
    TempFolder m_data;
};

// Bytes that do not compress, and text that does.
QByteArray RandomData(qsizetype size, quint32 seed = 1);
QByteArray TextData(qsizetype size);
// Writes a file, creating its folders.
void WriteFile(const QString& path, const QByteArray& bytes);
// A tree with nested and empty folders, an empty file and names outside ASCII.
void WriteSampleTree(const QString& root);

// The first difference between two files or trees (names, kinds, contents, empty folders
// included), or "" when they are byte for byte the same.
QString TreeDifference(const QString& expected, const QString& actual);

// Temporary archives left in a copy's Temp folder.
QStringList TempFiles(const EngineCopy& copy);

constexpr int TransferTimeoutMs = 60000;

// Names parameterised cases after their `name` field.
struct CaseName
{
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& param) const
    {
        return param.param.name;
    }
};

template <typename Transfer>
bool WaitForState(const QPointer<Transfer>& transfer, typename Transfer::State state,
                  int timeoutMs = TransferTimeoutMs)
{
    // A transfer that closed instead will not get there: no point waiting on.
    WaitUntil(
        [&] {
            return !transfer || transfer->state() == state ||
                   transfer->state() == Transfer::State::Closed;
        },
        timeoutMs);
    return transfer && transfer->state() == state;
}

// Closed, or already destroyed by the hub after its closing.
template <typename Transfer>
bool WaitForClosed(const QPointer<Transfer>& transfer, int timeoutMs = TransferTimeoutMs)
{
    return WaitUntil([&] { return !transfer || transfer->state() == Transfer::State::Closed; },
                     timeoutMs);
}

// The stream position (send) or received count (receive) reaches `bytes`, or the transfer
// leaves its data phase.
bool WaitForSent(const QPointer<SendTransfer>& transfer, std::uint32_t bytes);
bool WaitForReceived(const QPointer<ReceiveTransfer>& transfer, std::uint32_t bytes);

// The status line of a transfer for a failure message, also once it is gone.
template <typename Transfer> std::string StatusOf(const QPointer<Transfer>& transfer)
{
    return transfer ? transfer->view().statusText.toStdString() : std::string("(closed)");
}

// The copy's list rows (status cells) and message boxes, for failure messages.
std::string Describe(EngineCopy& copy);

// The text of one cell of a list's top row.
QString TopCell(TransferListModel& list, TransferListModel::Column column);
int TopIcon(TransferListModel& list);

} // namespace vantrel::test
