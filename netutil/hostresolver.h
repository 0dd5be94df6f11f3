#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace vantrel {

// Resolves a host name to the dotted text of its first IPv4 address; nothing when the name
// does not resolve. The book's refresh passes look names up only through one of these, so
// tests can answer from a table instead of the name servers.
using HostResolver = std::function<std::optional<QString>(const QString& host)>;

// getaddrinfo, IPv4 only; blocks for as long as the system's resolver takes.
std::optional<QString> ResolveIpv4(const QString& host);

} // namespace vantrel
