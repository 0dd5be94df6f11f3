#pragma once

#include "core/base/soundplayer.h"
#include "send/datastatus.h"
#include "send/sendview.h"

#include <QByteArray>
#include <QEvent>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

class QObject;

namespace vantrel {

// What a send worker reports to its transfer on the UI thread, in the order it happens:
// status-line texts and the outcomes of the connect step. Posted as a SendNoticeEvent.
struct SendNotice
{
    enum class Kind
    {
        Status,        // text, colour, sound
        ConnectFailed, // the attempt ended before acceptance: back to Preparing, SEND enabled
        Refused,       // nickName, comment, hostText
        Accepted,      // nickName, resumeOffset, hostText
    };

    Kind kind = Kind::Status;
    std::uint64_t attempt = 0; // which SEND this belongs to; stale notices are ignored
    QString text;
    std::optional<DataStatus> dataStatus; // the data worker's, worded by the transfer
    SendView::Colour colour = SendView::Colour::Work;
    std::optional<Sound> sound;
    QString hostText;
    QByteArray nickName;
    QByteArray comment;
    std::uint32_t resumeOffset = 0;
};

// The private event type of worker notices (registered once, clear of the UM_ numbers).
int SendNoticeEventType();


// Payload of UM_DYNDNS_DETECTED: the host text as typed and the address it resolved to.
struct DynDnsDetected
{
    QString hostText;
    QString address;
};

} // namespace vantrel
