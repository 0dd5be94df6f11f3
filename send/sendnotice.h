#pragma once

#include "core/base/soundplayer.h"
#include "send/datastatus.h"
#include "send/sendview.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

// What a send worker reports to its transfer on the UI thread, in the order it happens:
// status-line texts and the outcomes of the connect step.
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
    std::uint64_t run = 0; // which SEND this belongs to; stale notices are ignored
    QString text;
    std::optional<DataStatus> dataStatus; // the data worker's, worded by the transfer
    SendView::Colour colour = SendView::Colour::Work;
    std::optional<Sound> sound;
    QString hostText;
    QByteArray nickName;
    QByteArray comment;
    std::uint32_t resumeOffset = 0;
};

} // namespace vantrel
