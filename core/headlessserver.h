#pragma once

#include "receive/receiveoutcome.h"

#include <QObject>
#include <QString>

#include <unordered_set>

class QTextStream;

namespace vantrel {

class ReceiveTransfer;
class TransferHub;

// Answers the hub's requests when nobody sits at this computer: each request is presented at
// once; one that an auto-receive rule matched runs by itself, any other is refused with
// RefusalComment(). A transfer that has ended (completed, refused, failed, kept for a later
// resume) is closed as its window's last button would close it, so its connection ends and
// the active count falls. One line per request and per outcome goes to `out`.
class HeadlessServer : public QObject
{
    Q_OBJECT
public:
    HeadlessServer(TransferHub& hub, QTextStream& out, QObject* parent = nullptr);
    ~HeadlessServer() override;

    // What a refused sender reads (within the 255 bytes a reply carries).
    static QString RefusalComment();

private:
    void OnReceiveOpened(ReceiveTransfer* transfer);
    void OnStateChanged(ReceiveTransfer* transfer, const ReceiveOutcome& outcome);
    void OnEnded(ReceiveTransfer* transfer, const ReceiveOutcome& outcome);
    void Refuse(ReceiveTransfer* transfer);
    // Runs `step` on the transfer from the event loop, unless it is gone by then: the
    // transfer's own call that reported the change is still on the stack.
    template <typename Step> void Later(ReceiveTransfer* transfer, Step step);

    // The printed lines: "<outcome>: <peer> (<nick>), <what> "<name>", <size>[: <detail>]".
    void Print(const QString& outcome, const ReceiveTransfer& transfer,
               const QString& detail = QString());

    QTextStream& m_out;
    // The requests refused here: their closing is no news.
    std::unordered_set<const QObject*> m_refused;
};

} // namespace vantrel
