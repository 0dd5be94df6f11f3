#pragma once

#include "core/base/programfolder.h"

#include <QString>

namespace vantrel {

class ResumeCache;
struct RequestHeader;

// The durable notes of archives being received, one small file beside each temporary archive
// ("Temp/ZIV<n>.zip.partial"): the offer the archive belongs to. A note is on the disk before
// the archive's bytes stream and goes when the transfer ends by any path of its own, so a note
// found at start means the copy died mid-transfer, and its archive is kept for a resume as an
// interrupted transfer would have kept it. Files received raw need none: the destination file
// itself is their partial copy.
class PartialRecords
{
public:
    explicit PartialRecords(ProgramFolder folder);

    static QString RecordFile(const QString& archivePath);

    // Writes the note of `archivePath` (flushed, with its folder) and returns its path; empty
    // when it could not be written.
    QString Write(const QString& archivePath, const RequestHeader& request) const;
    // Forgets a note; an empty path or a note already gone is no error.
    static void Remove(const QString& recordPath);

    // At start, after the resume list has loaded: each note's archive becomes a cached resume
    // of its offer, the list is saved, then the notes go. A note that cannot be read, or whose
    // archive is gone or empty, is dropped (with an empty archive). Returns how many archives
    // were kept.
    int Recover(ResumeCache& cache) const;

private:
    ProgramFolder m_folder;
};

} // namespace vantrel
