#pragma once

#include "receive/receivetransfer.h"
#include "send/sendtransfer.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <vector>

namespace vantrel::test {

class EngineCopy;

// Fifty transfers at once from one copy to another that accepts them by an auto-receive
// rule: single files raw and compressed and directory trees, some paced by a band limit, and
// a few aborted mid-stream, by the sender or by the receiver (who then deletes the data or
// saves it for a later resume). Run closes every transfer the way its window would once it
// has ended; the caller checks the outcomes. Both copies may live in this process, or each
// side in a process of its own running the same load. UI thread only.
class TransferLoad
{
public:
    enum class Kind
    {
        RawFile,
        CompressedFile,
        Tree, // always travels as an archive
    };
    enum class Ending
    {
        Completes,
        SenderAborts,    // mid-stream
        ReceiverDeletes, // aborts mid-stream, then "Delete Data"
        ReceiverSaves,   // aborts mid-stream, then "Save for later Resume"
    };

    struct Item
    {
        QString name; // the source's base name, unique within the load
        Kind kind = Kind::RawFile;
        Ending ending = Ending::Completes;
        std::uint32_t bandLimit = 0; // Kb/sec on the sender, 0 = none
        QString source;

        QPointer<SendTransfer> send;
        QPointer<ReceiveTransfer> receive;
        bool aborted = false;
        // The state each side was in when it closed, the reason it closed with, and its last
        // status line (for the report of a failure).
        SendTransfer::State sendEnd = SendTransfer::State::Preparing;
        SendReason sendReason = SendReason::None;
        QString sendStatus;
        bool sendClosed = false;
        ReceiveTransfer::State receiveEnd = ReceiveTransfer::State::Pending;
        ReceiveReason receiveReason = ReceiveReason::None;
        QString receiveStatus;
        bool receiveClosed = false;
    };

    // Transfers in the load; an aborted one is stopped once this much has arrived.
    static constexpr int Count = 50;
    static constexpr std::uint32_t AbortAfterBytes = 16 * 1024;

    // `scale` multiplies every file size (1: about 125 MiB in all). Either copy may be null
    // when that side runs in another process; the sender then sends to `receiverHost`.
    TransferLoad(EngineCopy* sender, EngineCopy* receiver, QString dataFolder, int scale = 1,
                 QString receiverHost = QString());

    // Writes the sources below the data folder.
    void WriteSources();
    // Gives the receiver its rule for the sender's address (no band limit), into the data
    // folder's "in".
    bool AddRule(QString* error);
    // Starts every transfer at once, aborts the chosen ones mid-stream and closes each side of
    // each transfer once it has ended. False, with a description, when the load has not ended
    // within `timeoutMs`.
    bool Run(int timeoutMs, QString* error);

    const std::vector<Item>& items() const { return m_items; }
    QString incomingFolder() const { return m_dataFolder + QStringLiteral("/in"); }
    QString Destination(const Item& item) const;
    // Bytes of all sources together.
    qint64 totalBytes() const { return m_totalBytes; }
    // The most seen while Run looked at the transfers (every pass of the event loop): the
    // process's resident memory in KiB, its open descriptors and its threads.
    qint64 peakResidentKiB() const { return m_peakResidentKiB; }
    int peakDescriptors() const { return m_peakDescriptors; }
    int peakThreads() const { return m_peakThreads; }
    // The items still open, for failure messages.
    QString Unfinished() const;

private:
    void Match(ReceiveTransfer* transfer);
    // One look at every item: aborts, answers and closings due now. True once all have closed
    // on the sides that run here.
    bool Step();
    bool SideEnded(const Item& item) const;
    void WriteSource(const Item& item);
    void Sample();

    EngineCopy* m_sender;
    EngineCopy* m_receiver;
    QString m_receiverHost;
    QString m_dataFolder;
    int m_scale;
    std::vector<Item> m_items;
    qint64 m_totalBytes = 0;
    qint64 m_peakResidentKiB = 0;
    int m_peakDescriptors = 0;
    int m_peakThreads = 0;
};

} // namespace vantrel::test
