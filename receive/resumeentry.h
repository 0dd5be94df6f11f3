#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

// One kept partial archive: "CachedResumes/<id>.resume" holds the first bytes of the stream.
struct ResumeEntry
{
    std::uint32_t id = 0;
    QByteArray fileName;
    std::uint32_t dirCount = 0;
    std::uint32_t fileCount = 0;
    std::uint32_t totalSize = 0;
    std::optional<std::uint32_t> actualSize; // filled by Complete when the file exists

    QString ActualSizeText() const; // FormatSizeFixed, or "" before Complete
    QString ProgressText() const;   // "%d%%" of actual/totalSize, or ""
};

} // namespace vantrel
