#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Fixtures for the compression component's tests: trees on disk, archives crafted directly
// with libarchive, and a reader of the zip central directory.
namespace vantrel::test::zip {

std::string RandomBytes(std::size_t length, std::uint64_t seed);
// Text-like bytes (words and line breaks) that deflate well.
std::string TextBytes(std::size_t length, std::uint64_t seed);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
void SetMtime(const std::string& path, time_t seconds);

// Everything below a root, by relative path, links not followed.
struct Node
{
    char type = '?'; // 'f' file, 'd' directory, 'l' link, '?' other
    std::string content;
    bool executable = false;
    time_t mtime = 0;
    bool operator==(const Node& other) const = default;
};
std::map<std::string, Node> Snapshot(const std::string& root);

// One entry of an archive crafted for a test: a file, a directory or a symbolic link.
struct CraftEntry
{
    std::string name;
    char type = 'f';
    std::string content; // file bytes, or the link target
};
void CraftArchive(const std::string& archivePath, const std::vector<CraftEntry>& entries);

// One entry of a zip written byte by byte, so that its headers may say what its data does
// not: the same method, CRC and sizes go to the local header and the central directory.
struct RawEntry
{
    std::string name;
    std::uint16_t method = 0; // 0 stored, 8 deflated
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::string data; // as stored in the archive
};
void WriteRawZip(const std::string& archivePath, const std::vector<RawEntry>& entries);
// A regular file entry whose headers match its data.
RawEntry StoredEntry(const std::string& name, const std::string& content);
RawEntry DeflatedEntry(const std::string& name, const std::string& content);
std::uint32_t Crc32(const std::string& bytes);

// The central directory of a zip file, as written.
struct CentralEntry
{
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosTime = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
};
std::vector<CentralEntry> ReadCentralDirectory(const std::string& archivePath);
std::uint32_t DosTimeOf(int year, int month, int day, int hour, int minute, int second);

// Handles this process holds open on `path`.
int OpenHandlesTo(const std::string& path);
// The process umask, read without changing it.
mode_t CurrentUmask();

} // namespace vantrel::test::zip
