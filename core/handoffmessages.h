#pragma once

#include "core/base/handover.h"

namespace vantrel {

// The messages the receiving end of hand-offs takes.
namespace hub {

// A hand-off file was written (by another start of the program, or by this one).
struct UM_HANDOFF_NOTIFY
{
};
// The program has been brought to the front: the hand-off file is read now.
struct UM_HANDOFF_OPEN
{
};
// Bring the program to the front, before UM_HANDOFF_OPEN.
struct RestoreForHandOff
{
};

} // namespace hub

// What the single-instance server hands to the receiving end.
using HandOffNotifyInbox = Accepts<hub::UM_HANDOFF_NOTIFY>;

} // namespace vantrel
