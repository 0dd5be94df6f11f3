#include "scratchfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vantrel::fuzz {

namespace {

namespace fs = std::filesystem;

// Extracted names are bytes, not always UTF-8, so the folder is walked by bytes.
fs::path Native(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// An extracted folder may have come without owner rights; they are given back first, deepest
// last, so that every folder can be entered and emptied.
void MakeUsable(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
            MakeUsable(it->path());
        }
    }
}

} // namespace

ScratchFolder::ScratchFolder()
    : m_dir(std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                            QStringLiteral("/vantrel-fuzz-XXXXXX")))
{
    if (!m_dir->isValid())
        Fail("cannot make a scratch folder");
    m_path = m_dir->path();
}

ScratchFolder::~ScratchFolder()
{
    // Names that are not UTF-8 are beyond QTemporaryDir's own removal.
    const fs::path root = Native(m_path);
    MakeUsable(root);
    std::error_code error;
    fs::remove_all(root, error);
}

QString ScratchFolder::file(const QString& relativeName) const
{
    return m_path + QLatin1Char('/') + relativeName;
}

void ScratchFolder::Empty() const
{
    const fs::path root = Native(m_path);
    MakeUsable(root);
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        fs::remove_all(it->path(), error);
    if (!fs::is_empty(root, error) || error)
        Fail("the scratch folder cannot be emptied");
}

QStringList ScratchFolder::Entries() const
{
    QStringList entries;
    const fs::path root = Native(m_path);
    MakeUsable(root);
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        entries.append(QFile::decodeName(
            QByteArray::fromStdString(fs::relative(it->path(), root, error).string())));
    entries.sort();
    return entries;
}

std::uintmax_t ScratchFolder::FileBytes(const QString& relativeFolder) const
{
    std::uintmax_t total = 0;
    const fs::path folder = Native(file(relativeFolder));
    MakeUsable(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error) && !it->is_symlink(error))
            total += it->file_size(error);
    return total;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        Fail("cannot write a file of the setup");
}

QByteArray InputBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace vantrel::fuzz
