#pragma once

#include "netutil/hostresolver.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

class WorkerStop;

// Name lookups for the connecting workers (a send, the tunnel opener). A lookup may hang on an
// unresponsive name server, so it runs on a helper thread that owns its own state; the worker stops
// waiting as soon as its stop is requested and the helper finishes (and frees its state) on its
// own.
namespace hostlookup {

enum class Outcome
{
    Found,
    NotFound,
    Stopped
};

struct Address
{
    Outcome outcome = Outcome::NotFound;
    std::uint32_t ipv4 = 0; // host byte order; the first address returned
};

struct Name
{
    Outcome outcome = Outcome::NotFound;
    QString name;
};

struct Dotted
{
    Outcome outcome = Outcome::NotFound;
    QString address; // the dotted text of the first IPv4 address
};

// getaddrinfo, IPv4 only.
Address Resolve(const QString& host, const WorkerStop& stop);
// The same through `resolver` (the dynamic DNS book's, which tests replace): the helper thread
// owns a copy of it.
Dotted ResolveWith(const HostResolver& resolver, const QString& host, const WorkerStop& stop);
// getnameinfo with NI_NAMEREQD: only a real name counts.
Name ReverseName(std::uint32_t ipv4, const WorkerStop& stop);

// Whether a typed host might be a dynamic DNS name: anything but digits and dots.
bool IsNameNotAddress(const QString& host);
// Whether the reverse name of the host's address fails to give the host back (letter case
// aside): then the host is worth offering to the dynamic DNS book.
bool ReverseNameDiffers(const QString& host, const Name& reverse);

} // namespace hostlookup

} // namespace vantrel
