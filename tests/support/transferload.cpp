#include "tests/support/transferload.h"

#include "core/transferhub.h"
#include "receive/autoreceiverules.h"
#include "send/sendinputs.h"
#include "tests/support/enginecopy.h"
#include "tests/support/processfigures.h"
#include "tests/support/tempprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace vantrel::test {

namespace {

using RecvState = ReceiveTransfer::State;
using SendState = SendTransfer::State;

constexpr qsizetype KiB = 1024;
// Fast enough to end within seconds, slow enough to stretch over several progress windows.
constexpr std::uint32_t PacedLimit = 256;
// 32 KiB per two-second window: an aborted transfer is still early in its stream.
constexpr std::uint32_t CrawlLimit = 16;

QByteArray Noise(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<quint32> words(size / 4 + 1);
    random.fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

QByteArray LogText(qsizetype size, int seed)
{
    QByteArray text;
    text.reserve(size + 100);
    for (int line = 0; text.size() < size; ++line)
        text += "2026-12-11 01:" + QByteArray::number((line + seed) % 60) + " load " +
                QByteArray::number(seed) + " moved block " + QByteArray::number(line) + '\n';
    text.truncate(size);
    return text;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The few aborted transfers, by position in the load, with what they are.
struct Aborted
{
    int index;
    TransferLoad::Kind kind;
    TransferLoad::Ending ending;
};
constexpr Aborted AbortedItems[] = {
    {5, TransferLoad::Kind::RawFile, TransferLoad::Ending::SenderAborts},
    {11, TransferLoad::Kind::CompressedFile, TransferLoad::Ending::SenderAborts},
    {17, TransferLoad::Kind::Tree, TransferLoad::Ending::SenderAborts},
    {23, TransferLoad::Kind::RawFile, TransferLoad::Ending::ReceiverDeletes},
    {29, TransferLoad::Kind::CompressedFile, TransferLoad::Ending::ReceiverSaves},
    {35, TransferLoad::Kind::Tree, TransferLoad::Ending::ReceiverDeletes},
    {41, TransferLoad::Kind::RawFile, TransferLoad::Ending::ReceiverSaves},
};

const char* KindName(TransferLoad::Kind kind)
{
    switch (kind) {
    case TransferLoad::Kind::RawFile:
        return "raw";
    case TransferLoad::Kind::CompressedFile:
        return "packed";
    case TransferLoad::Kind::Tree:
        return "tree";
    }
    return "";
}

} // namespace

TransferLoad::TransferLoad(EngineCopy* sender, EngineCopy* receiver, QString dataFolder, int scale,
                           QString receiverHost)
    : m_sender(sender), m_receiver(receiver), m_receiverHost(std::move(receiverHost)),
      m_dataFolder(std::move(dataFolder)), m_scale(std::max(scale, 1))
{
    if (m_receiver && m_receiverHost.isEmpty())
        m_receiverHost = m_receiver->hostText();
    for (int i = 0; i < Count; ++i) {
        Item item;
        item.kind = static_cast<Kind>(i % 3);
        if (i % 4 == 1)
            item.bandLimit = PacedLimit * static_cast<std::uint32_t>(m_scale);
        for (const Aborted& aborted : AbortedItems) {
            if (aborted.index == i) {
                item.kind = aborted.kind;
                item.ending = aborted.ending;
                item.bandLimit = CrawlLimit;
            }
        }
        item.name = QStringLiteral("%1-%2")
                        .arg(i, 2, 10, QLatin1Char('0'))
                        .arg(QLatin1String(KindName(item.kind)));
        if (item.kind != Kind::Tree)
            item.name += QStringLiteral(".dat");
        item.source = m_dataFolder + QStringLiteral("/out/") + item.name;
        m_items.push_back(std::move(item));
    }
}

QString TransferLoad::Destination(const Item& item) const
{
    return incomingFolder() + QLatin1Char('/') + item.name;
}

void TransferLoad::WriteSource(const Item& item)
{
    const qsizetype s = m_scale;
    const auto seed = static_cast<quint32>(qHash(item.name));
    QList<std::pair<QString, QByteArray>> files;
    switch (item.kind) {
    case Kind::RawFile:
        // Unpaced, larger than all that a transfer buffers: a copy that held whole files in
        // memory would show.
        files.append({item.source, Noise(s * (item.bandLimit ? 1024 : 8 * 1024) * KiB, seed)});
        break;
    case Kind::CompressedFile:
        // An aborted one must not shrink to a single band window.
        files.append({item.source, item.ending == Ending::Completes
                                       ? LogText(s * 512 * KiB, static_cast<int>(seed % 1000))
                                       : Noise(s * 512 * KiB, seed)});
        break;
    case Kind::Tree: {
        const QString root = item.source + QLatin1Char('/');
        files.append({root + QStringLiteral("notes.txt"), LogText(s * 96 * KiB, 3)});
        files.append({root + QStringLiteral("data/blob.bin"), Noise(s * 256 * KiB, seed)});
        files.append({root + QStringLiteral("data/empty.dat"), QByteArray()});
        files.append({root + QStringLiteral("naïve/Grüße.txt"), LogText(8 * KiB, 4)});
        QDir().mkpath(root + QStringLiteral("empty folder/inner"));
        break;
    }
    }
    for (const auto& [path, bytes] : files) {
        Write(path, bytes);
        m_totalBytes += bytes.size();
    }
}

void TransferLoad::WriteSources()
{
    m_totalBytes = 0;
    for (const Item& item : m_items)
        WriteSource(item);
}

bool TransferLoad::AddRule(QString* error)
{
    QDir().mkpath(incomingFolder());
    const AutoReceiveRules::Check added = m_receiver->rules().Add(
        {QStringLiteral("127.0.0.1"), incomingFolder(), QStringLiteral("0")});
    if (added != AutoReceiveRules::Check::Ok) {
        *error = QStringLiteral("the auto-receive rule was not taken");
        return false;
    }
    return true;
}

void TransferLoad::Match(ReceiveTransfer* transfer)
{
    for (Item& item : m_items) {
        if (item.receive || transfer->proposedName() != item.name)
            continue;
        item.receive = transfer;
        Item* const tracked = &item;
        const auto track = [tracked, transfer] {
            if (transfer->state() != RecvState::Closed)
                tracked->receiveEnd = transfer->state();
        };
        track();
        QObject::connect(transfer, &ReceiveTransfer::viewChanged, transfer, track);
        QObject::connect(transfer, &ReceiveTransfer::closed, transfer, [tracked, transfer] {
            tracked->receiveReason = transfer->outcome().reason;
            tracked->receiveStatus = transfer->view().statusText;
            tracked->receiveClosed = true;
        });
        return;
    }
}

void TransferLoad::Sample()
{
    m_peakResidentKiB = std::max(m_peakResidentKiB, ProcessFigures::ResidentKiB());
    m_peakDescriptors = std::max(m_peakDescriptors, ProcessFigures::Descriptors());
    m_peakThreads = std::max(m_peakThreads, ProcessFigures::Threads());
}

bool TransferLoad::Step()
{
    Sample();
    bool ended = true;
    for (Item& item : m_items) {
        ReceiveTransfer* const receive = item.receive;
        SendTransfer* const send = item.send;
        // The receiver's count where it runs here: then it surely holds that much.
        const bool due = item.ending != Ending::Completes && !item.aborted &&
                         (m_receiver ? receive && receive->state() == RecvState::Receiving &&
                                           receive->receivedBytes() >= AbortAfterBytes
                                     : send && send->state() == SendState::Streaming &&
                                           send->sentBytes() >= AbortAfterBytes);
        if (due && item.ending == Ending::SenderAborts && send) {
            item.aborted = true;
            item.sendEnd = send->state();
            send->Abort();
        } else if (due && item.ending != Ending::SenderAborts && receive) {
            item.aborted = true;
            receive->Abort(QByteArrayLiteral("stopped by the load"));
        }
        if (receive && item.aborted && item.ending != Ending::SenderAborts &&
            receive->state() == RecvState::Interrupted) {
            if (item.ending == Ending::ReceiverDeletes)
                receive->DeleteData();
            else
                receive->SaveForLaterResume();
        }
        if (receive && receive->state() == RecvState::Completed)
            receive->Close(); // "Done"
        if (send) {
            const SendState state = send->state();
            // Back in Preparing: the request never got through (the window offers SEND again).
            if (state == SendState::Completed || state == SendState::Broken ||
                state == SendState::Refused || state == SendState::Preparing) {
                item.sendEnd = state;
                send->Close();
            }
        }
        ended = ended && SideEnded(item);
    }
    return ended;
}

bool TransferLoad::SideEnded(const Item& item) const
{
    if (!m_sender)
        return item.receiveClosed;
    // A sender that closed before any request arrived leaves no receiver to wait for.
    return item.sendClosed && (!m_receiver || item.receiveClosed || !item.receive);
}

bool TransferLoad::Run(int timeoutMs, QString* error)
{
    QMetaObject::Connection opened;
    if (m_receiver) {
        opened = QObject::connect(m_receiver, &EngineCopy::receiveOpened, m_receiver,
                                  [this](ReceiveTransfer* transfer) { Match(transfer); });
    }
    for (Item& item : m_items) {
        if (!m_sender)
            break;
        item.send = m_sender->OpenSend(item.source, item.kind != Kind::RawFile);
        Item* const tracked = &item;
        SendTransfer* const send = item.send;
        QObject::connect(send, &SendTransfer::closed, send, [tracked, send] {
            tracked->sendReason = send->outcome().reason;
            tracked->sendStatus = send->view().statusText;
            tracked->sendClosed = true;
        });
        if (item.bandLimit)
            send->SetBandLimit(item.bandLimit);
        SendInputs inputs;
        inputs.hostText = m_receiverHost;
        send->Send(inputs);
    }
    const auto idle = [](EngineCopy* copy) { return !copy || copy->hub().activeCount() == 0; };
    const bool ended = WaitUntil([this] { return Step(); }, timeoutMs) &&
                       WaitUntil([&] { return idle(m_sender) && idle(m_receiver); });
    QObject::disconnect(opened);
    if (!ended)
        *error = QStringLiteral("the load did not end: ") + Unfinished();
    return ended;
}

QString TransferLoad::Unfinished() const
{
    QStringList open;
    for (const Item& item : m_items) {
        if (SideEnded(item))
            continue;
        open << QStringLiteral("%1 (send %2 %3, receive %4 %5)")
                    .arg(item.name)
                    .arg(item.send ? static_cast<int>(item.send->state()) : -1)
                    .arg(item.send ? item.send->view().statusText : item.sendStatus)
                    .arg(item.receive ? static_cast<int>(item.receive->state()) : -1)
                    .arg(item.receive ? item.receive->view().statusText : item.receiveStatus);
    }
    return open.join(QStringLiteral("; "));
}

} // namespace vantrel::test
