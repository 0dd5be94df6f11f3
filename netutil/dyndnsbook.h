#pragma once

#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace vantrel {

// The dynamic DNS address book: host names whose addresses change, with the address each
// last resolved to. Read by connection threads and send workers, edited on the UI thread:
// one lock, held for a whole lookup. Entries keep the address they were added with: the book
// neither re-resolves nor stores them.
class DynDnsBook
{
public:
    struct Entry
    {
        QString host;
        QString address; // last resolved dotted address, or empty
    };

    // Host of the first entry whose address equals the dotted text of `ipv4HostOrder`.
    std::optional<QString> NameForAddress(std::uint32_t ipv4HostOrder) const;
    // Whether some entry's host equals `host` exactly.
    bool ContainsHost(const QString& host) const;
    void AddEntry(const QString& host, const QString& address);
    std::vector<Entry> entries() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

} // namespace vantrel
