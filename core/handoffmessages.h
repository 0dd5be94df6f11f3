#pragma once

#include "core/base/handover.h"

#include <QByteArray>

#include <optional>

namespace vantrel {

// The messages the receiving end of hand-offs takes.
namespace hub {

// A hand-off file was written (by another start of the program, or by this one). It is taken
// synchronously, on the receiver's thread: the receiver has read the file when Take returns,
// so the writer may let the next start rewrite it.
struct UM_HANDOFF_NOTIFY
{
};
// The program has been brought to the front: open a send window for the path the notice read
// (nothing when the file could not be read).
struct UM_HANDOFF_OPEN
{
    std::optional<QByteArray> path;
};
// Bring the program to the front, before UM_HANDOFF_OPEN.
struct RestoreForHandOff
{
};

} // namespace hub

// What the single-instance server hands to the receiving end.
using HandOffNotifyInbox = Accepts<hub::UM_HANDOFF_NOTIFY>;

} // namespace vantrel
