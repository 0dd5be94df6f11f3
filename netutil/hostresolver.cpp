#include "netutil/hostresolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace vantrel {

std::optional<QString> ResolveIpv4(const QString& host)
{
    const QByteArray name = host.toUtf8();
    if (name.isEmpty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    char dotted[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &in->sin_addr, dotted, sizeof dotted) != nullptr;
    freeaddrinfo(found);
    if (!ok)
        return std::nullopt;
    return QString::fromLatin1(dotted);
}

} // namespace vantrel
