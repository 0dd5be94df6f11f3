#pragma once

#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace vantrel {

class SettingsStore;

// The dynamic DNS address book: host names whose addresses change, with the address each
// last resolved to. Read by connection threads and send workers, edited on the UI thread and
// updated by the refresh pass: one lock, held for a whole lookup and never during a name
// lookup. Host names are stored; addresses are not.
class DynDnsBook
{
public:
    static inline const QString Unresolved = QStringLiteral("-");
    static inline const QString NewHostText = QStringLiteral("<New Host>");
    static inline const QString DefaultRefreshText = QStringLiteral("10");

    struct Entry
    {
        QString host;
        QString address;      // dotted address of the last resolution, or Unresolved
        std::uint64_t id = 0; // names the entry to a refresh pass while others come and go
    };

    // Host of the first entry whose address equals the dotted text of `ipv4HostOrder`.
    std::optional<QString> NameForAddress(std::uint32_t ipv4HostOrder) const;
    // Whether some entry's host equals `host` exactly.
    bool ContainsHost(const QString& host) const;
    void AddEntry(const QString& host, const QString& address);

    // The window's edits. Indexes out of range change nothing.
    void AddHost(); // appends NewHostText, unresolved
    void RemoveEntry(int index);
    // An empty text keeps the old one; returns whether the entry changed.
    bool EditHost(int index, const QString& text);

    std::vector<Entry> entries() const;
    int size() const;
    // The entry at `index` now, for a refresh pass; the pass writes back by id, so an entry
    // removed meanwhile is simply not written.
    std::optional<Entry> EntryAt(int index) const;
    void StoreAddress(std::uint64_t id, const QString& address);

    // Replaces the list with the stored host names (all unresolved) and returns the stored
    // refresh period text ("10" when missing or empty).
    QString Load(SettingsStore& store);
    // Writes the host names and the period: `refreshText` as a whole number, "30" when it is
    // 0 or not a number.
    void Save(SettingsStore& store, const QString& refreshText) const;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::uint64_t m_nextId = 1;
};

} // namespace vantrel
