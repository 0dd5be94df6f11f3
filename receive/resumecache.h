#pragma once

#include "core/base/programfolder.h"
#include "receive/resumeentry.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel {

struct RequestHeader;

// The cache of partial resumes and its list file "cachedreslist.vnt". UI thread only.
class ResumeCache : public QObject
{
    Q_OBJECT
public:
    explicit ResumeCache(ProgramFolder folder, QObject* parent = nullptr);

    // Reads the list file; entries whose file is missing are dropped; a truncated file stops
    // at its first incomplete record.
    void Load();
    // Writes the list file (count, lastResumeId or 0 when empty, records). False if it
    // cannot be written.
    bool Save() const;

    const std::vector<ResumeEntry>& entries() const { return m_entries; }
    std::uint32_t lastResumeId() const { return m_lastResumeId; }

    // First entry equal in fileName, dirCount, fileCount and totalSize; or nothing.
    std::optional<ResumeEntry> FindResume(const RequestHeader& request) const;
    std::optional<ResumeEntry> FindById(std::uint32_t id) const;
    QString EntryFile(std::uint32_t id) const;

    // Appends a new entry (id lastResumeId + 1) and returns the id; the caller moves its
    // archive to EntryFile(id) and then calls Complete.
    std::uint32_t Add(const RequestHeader& request);
    // Fills the derived size; false when the entry's file is missing.
    bool Complete(std::uint32_t id);
    // Removes the entry only (its file was moved away by a resumed transfer).
    void Remove(std::uint32_t id);
    // Deletes the entry's file and removes the entry ("Overwrite", the resumes window).
    void Discard(std::uint32_t id);
    void DiscardAll();

signals:
    void changed();

private:
    ProgramFolder m_folder;
    std::vector<ResumeEntry> m_entries;
    std::uint32_t m_lastResumeId = 0;
};

} // namespace vantrel
