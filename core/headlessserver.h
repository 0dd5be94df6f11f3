#pragma once

#include <QObject>
#include <QString>

#include <unordered_map>

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
    // What has been said of one transfer, so that each outcome is printed once.
    struct Followed
    {
        bool refused = false;
        bool askedResume = false;
        bool accepted = false;
        bool ended = false;
    };

    void OnReceiveOpened(ReceiveTransfer* transfer);
    void OnViewChanged(ReceiveTransfer* transfer);
    void Refuse(ReceiveTransfer* transfer);
    // Runs `step` on the transfer from the event loop, unless it is gone by then: the
    // transfer's own call that reported the change is still on the stack.
    template <typename Step> void Later(ReceiveTransfer* transfer, Step step);

    // The printed lines: "<outcome>: <peer> (<nick>), <what> "<name>", <size>[: <detail>]".
    void Print(const QString& outcome, const ReceiveTransfer& transfer,
               const QString& detail = QString());

    QTextStream& m_out;
    std::unordered_map<const QObject*, Followed> m_followed;
};

} // namespace vantrel
