#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>

class QTemporaryDir;

namespace vantrel::fuzz {

// A private folder for one harness process, made once and emptied before every input, so that
// one input's files never change how the next one runs.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();

    const QString& path() const { return m_path; }
    QString file(const QString& relativeName) const;
    // Removes everything inside, making folders without owner rights usable first.
    void Empty() const;
    // Every file and folder inside, relative and sorted, hidden ones included.
    QStringList Entries() const;
    // The bytes in regular files below a folder inside, by their lengths (links not followed).
    std::uintmax_t FileBytes(const QString& relativeFolder) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

// Ends the process the way a sanitizer would, so that libFuzzer keeps the input.
[[noreturn]] void Fail(const char* what);

// Writes a whole file of the setup, or fails the run.
void WriteWholeFile(const QString& path, const QByteArray& bytes);
// The fuzzer's input as bytes.
QByteArray InputBytes(const std::uint8_t* data, std::size_t size);

} // namespace vantrel::fuzz
