#pragma once

#include "core/base/soundplayer.h"
#include "net/securechannel.h"
#include "send/connectstatus.h"
#include "send/datastatus.h"
#include "send/sendview.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace vantrel {

// What a send worker reports to its transfer on the UI thread, in the order it happens:
// status-line outcomes (worded by the transfer) and the outcomes of the connect step.
struct SendNotice
{
    // What the status line reports: the connect worker's statuses, the client handshake's
    // steps and failures, or the data worker's statuses.
    using Status = std::variant<ConnectStatus, SecureChannel::ConnectStep,
                                SecureChannel::ConnectFailure, DataStatus>;

    enum class Kind
    {
        Status,        // status, subject, colour, sound
        ConnectFailed, // the attempt ended before acceptance: back to Preparing, SEND enabled
        Refused,       // nickName, comment, hostText
        Accepted,      // nickName, resumeOffset, hostText
    };

    Kind kind = Kind::Status;
    std::uint64_t run = 0; // which SEND this belongs to; stale notices are ignored
    Status status = ConnectStatus::Resolving;
    // The host, address or nickname a connect status names; the data worker's statuses name
    // the transfer's own source.
    QString subject;
    SendView::Colour colour = SendView::Colour::Work;
    std::optional<Sound> sound;
    QString hostText;
    QByteArray nickName;
    QByteArray comment;
    std::uint32_t resumeOffset = 0;
    // ConnectFailed after the receiver's certificate did not pass: what it presented (PEM).
    QByteArray presentedCertificate;
    QByteArray presentedAuthority;
};

} // namespace vantrel
