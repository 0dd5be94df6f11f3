#include "tests/zipbridge/zipfixtures.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace vantrel::test::zip {

std::string RandomBytes(std::size_t length, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; i += 8) {
        const std::uint64_t word = random();
        for (std::size_t k = 0; k < 8 && i + k < length; ++k)
            bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
}

std::string TextBytes(std::size_t length, std::uint64_t seed)
{
    static const char* const kWords[] = {"send",  "file",   "tree",    "archive", "peer",
                                         "block", "resume", "request", "the",     "and"};
    std::mt19937_64 random(seed);
    std::string text;
    text.reserve(length + 16);
    while (text.size() < length) {
        text += kWords[random() % 10];
        text += (random() % 9 == 0) ? '\n' : ' ';
    }
    text.resize(length);
    return text;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void MakeDirs(const std::string& path)
{
    fs::create_directories(path);
}

void SetMtime(const std::string& path, time_t seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::map<std::string, Node> Snapshot(const std::string& root)
{
    std::map<std::string, Node> nodes;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        struct stat st = {};
        lstat(it->path().c_str(), &st);
        Node node;
        node.type = S_ISREG(st.st_mode)   ? 'f'
                    : S_ISDIR(st.st_mode) ? 'd'
                    : S_ISLNK(st.st_mode) ? 'l'
                                          : '?';
        if (node.type == 'f') {
            node.content = ReadFile(it->path().string());
            node.executable = (st.st_mode & S_IXUSR) != 0;
            node.mtime = st.st_mtim.tv_sec;
        }
        nodes[relative] = node;
    }
    return nodes;
}

void CraftArchive(const std::string& archivePath, const std::vector<CraftEntry>& entries)
{
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    ASSERT_EQ(archive_write_open_filename(a, archivePath.c_str()), ARCHIVE_OK);
    for (const CraftEntry& item : entries) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, item.name.c_str());
        if (item.type == 'd') {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else if (item.type == 'l') {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_copy_symlink(entry, item.content.c_str());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, static_cast<la_int64_t>(item.content.size()));
        }
        ASSERT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << item.name;
        if (item.type == 'f')
            archive_write_data(a, item.content.data(), item.content.size());
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

namespace {

std::uint32_t Le(const std::string& s, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return value;
}

void PutLe(std::string& s, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(value >> (8 * i));
}

} // namespace

std::uint32_t Crc32(const std::string& bytes)
{
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void WriteRawZip(const std::string& archivePath, const std::vector<RawEntry>& entries)
{
    std::string zip;
    std::string central;
    const std::uint32_t dosTime = DosTimeOf(2024, 5, 6, 7, 8, 10);
    for (const RawEntry& entry : entries) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        std::string common;
        PutLe(common, 20, 2);     // version needed
        PutLe(common, 0x0800, 2); // names in UTF-8
        PutLe(common, entry.method, 2);
        PutLe(common, dosTime, 4);
        PutLe(common, entry.crc, 4);
        PutLe(common, entry.compressedSize, 4);
        PutLe(common, entry.size, 4);
        PutLe(common, static_cast<std::uint32_t>(entry.name.size()), 2);
        PutLe(common, 0, 2); // extra field length

        PutLe(zip, 0x04034b50, 4);
        zip += common + entry.name + entry.data;

        PutLe(central, 0x02014b50, 4);
        PutLe(central, 3 << 8 | 20, 2); // made on Unix
        central += common;
        PutLe(central, 0, 2);                      // comment length
        PutLe(central, 0, 2);                      // disk
        PutLe(central, 0, 2);                      // internal attributes
        PutLe(central, (S_IFREG | 0644) << 16, 4); // external attributes
        PutLe(central, offset, 4);
        central += entry.name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    PutLe(zip, 0x06054b50, 4);
    PutLe(zip, 0, 4);
    PutLe(zip, static_cast<std::uint32_t>(entries.size()), 2);
    PutLe(zip, static_cast<std::uint32_t>(entries.size()), 2);
    PutLe(zip, static_cast<std::uint32_t>(central.size()), 4);
    PutLe(zip, centralOffset, 4);
    PutLe(zip, 0, 2);
    WriteFile(archivePath, zip);
}

RawEntry StoredEntry(const std::string& name, const std::string& content)
{
    const auto size = static_cast<std::uint32_t>(content.size());
    return {name, 0, Crc32(content), size, size, content};
}

RawEntry DeflatedEntry(const std::string& name, const std::string& content)
{
    // libarchive deflates it; its raw stream is taken from behind the local header.
    const std::string scratch =
        (fs::temp_directory_path() / ("deflated-" + std::to_string(getpid()) + ".zip")).string();
    CraftArchive(scratch, {{"x", 'f', content}});
    const std::string zip = ReadFile(scratch);
    fs::remove(scratch);
    const std::uint32_t centralAt = Le(zip, zip.size() - 22 + 16, 4);
    const std::uint32_t compressed = Le(zip, centralAt + 20, 4);
    const std::uint32_t local = Le(zip, centralAt + 42, 4);
    const std::uint32_t dataAt = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    return {name,
            8,
            Crc32(content),
            compressed,
            static_cast<std::uint32_t>(content.size()),
            zip.substr(dataAt, compressed)};
}

std::vector<CentralEntry> ReadCentralDirectory(const std::string& archivePath)
{
    const std::string zip = ReadFile(archivePath);
    std::vector<CentralEntry> entries;
    if (zip.size() < 22 || Le(zip, zip.size() - 22, 4) != 0x06054b50)
        return entries;
    const std::size_t count = Le(zip, zip.size() - 22 + 10, 2);
    std::size_t at = Le(zip, zip.size() - 22 + 16, 4);
    for (std::size_t i = 0; i < count && at + 46 <= zip.size(); ++i) {
        CentralEntry entry;
        entry.flags = static_cast<std::uint16_t>(Le(zip, at + 8, 2));
        entry.method = static_cast<std::uint16_t>(Le(zip, at + 10, 2));
        entry.dosTime = Le(zip, at + 12, 4);
        entry.compressedSize = Le(zip, at + 20, 4);
        entry.size = Le(zip, at + 24, 4);
        const std::size_t nameLength = Le(zip, at + 28, 2);
        entry.name = zip.substr(at + 46, nameLength);
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
        entries.push_back(entry);
    }
    return entries;
}

std::uint32_t DosTimeOf(int year, int month, int day, int hour, int minute, int second)
{
    const auto date = static_cast<std::uint32_t>((year - 1980) << 9 | month << 5 | day);
    const auto time = static_cast<std::uint32_t>(hour << 11 | minute << 5 | second / 2);
    return date << 16 | time;
}

int OpenHandlesTo(const std::string& path)
{
    const fs::path target = fs::weakly_canonical(path);
    int count = 0;
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        const fs::path linked = fs::read_symlink(fd.path(), linkError);
        if (!linkError && linked == target)
            ++count;
    }
    return count;
}

mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return static_cast<mode_t>(-1);
}

} // namespace vantrel::test::zip
