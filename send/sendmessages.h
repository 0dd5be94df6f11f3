#pragma once

#include "core/base/handover.h"
#include "send/sendnotice.h"

#include <QString>

#include <cstdint>

namespace vantrel {

// The messages a send transfer takes. Those of its connect and data workers carry the SEND
// attempt they belong to: one that arrives after the transfer moved on is stale (RunCounter).
namespace send {

// The refusal panel is due (after the refusal's notice and a short pause).
struct UM_SEND_REFUSED
{
    std::uint64_t run = 0;
};
struct UM_SEND_BROKEN
{
    std::uint64_t run = 0;
};
struct UM_SEND_COMPLETED
{
    std::uint64_t run = 0;
};
// The typed host looks like a dynamic DNS name: the host text as typed and its address.
struct UM_DYNDNS_DETECTED
{
    std::uint64_t run = 0;
    QString hostText;
    QString address;
};
// The compressor has returned: the archive is complete, or will never be.
struct ArchiveFinished
{
};

} // namespace send

// What the connect and data workers hand to their transfer.
using SendWorkerInbox = Inbox<SendNotice, send::UM_SEND_REFUSED, send::UM_SEND_BROKEN,
                              send::UM_SEND_COMPLETED, send::UM_DYNDNS_DETECTED>;

} // namespace vantrel
