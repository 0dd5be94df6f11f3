// Prints zip and unzip throughput of the compression component for (a) a mixed tree of about
// 200 MB (text, program binaries, thousands of small files, media-like data) and (b) 1 GiB of
// random data, with the archive size and the time of libarchive at its default deflate level
// (every file deflated) on the same data. Data lives in a fresh folder under /tmp, removed at
// the end; each extraction gets a fresh folder. Figures are wall-clock, from the page cache.
// Usage: zipbridge_bench [--skip-random]
#include "zipbridge/zipbridge.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of this process (user and system): unlike wall time, it does not grow with the
// load other programs put on the machine.
double CpuSeconds()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

template <typename Fn> Timing Time(Fn&& run)
{
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    run();
    return {Seconds(start), CpuSeconds() - cpuStart};
}

void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Random(std::size_t length, std::mt19937_64& random)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(&bytes[i], &word, std::min<std::size_t>(8, length - i));
    }
    return bytes;
}

std::string Text(std::size_t length, std::mt19937_64& random)
{
    static const char* const kWords[] = {
        "transfer", "archive", "the",   "of",     "receiver", "sender", "block", "resume",
        "request",  "and",     "a",     "folder", "file",     "size",   "peer",  "counter",
        "window",   "thread",  "event", "socket", "limit",    "zero",   "to",    "in"};
    std::string text;
    text.reserve(length + 32);
    while (text.size() < length) {
        text += kWords[random() % 24];
        const auto r = random() % 12;
        text += r == 0 ? ".\n" : r == 1 ? ", " : " ";
    }
    text.resize(length);
    return text;
}

std::uint64_t MakeMixedTree(const fs::path& root)
{
    std::mt19937_64 random(42);
    std::uint64_t total = 0;
    // Documents: about 60 MB of text.
    for (int i = 0; i < 30; ++i) {
        const std::string bytes = Text(2 << 20, random);
        Write(root / "docs" / ("report-" + std::to_string(i) + ".txt"), bytes);
        total += bytes.size();
    }
    // Program binaries: about 60 MB copied from the system's libraries.
    std::vector<fs::path> libraries;
    for (const auto& item : fs::directory_iterator("/usr/lib/x86_64-linux-gnu"))
        if (item.is_regular_file() && !item.is_symlink() && item.file_size() > 200000 &&
            item.file_size() < (8u << 20) && item.path().string().find(".so") != std::string::npos)
            libraries.push_back(item.path());
    std::sort(libraries.begin(), libraries.end());
    std::uint64_t copied = 0;
    for (const fs::path& library : libraries) {
        if (copied >= 60ull << 20)
            break;
        fs::create_directories(root / "bin");
        fs::copy_file(library, root / "bin" / library.filename());
        copied += fs::file_size(library);
    }
    total += copied;
    // Small files: 3000 of 1-16 KB, text and random.
    for (int i = 0; i < 3000; ++i) {
        const std::size_t size = 1024 + random() % (15 * 1024);
        const std::string bytes = (i % 4 == 3) ? Random(size, random) : Text(size, random);
        Write(root / "src" / ("module" + std::to_string(i / 100)) /
                  ("f" + std::to_string(i) + ".c"),
              bytes);
        total += bytes.size();
    }
    // Media: about 55 MB of already compressed data.
    for (int i = 0; i < 10; ++i) {
        const std::string bytes = "\xFF\xD8\xFF\xE0" + Random((11 << 19) - 4, random);
        Write(root / "photos" / ("img" + std::to_string(i) + ".jpg"), bytes);
        total += bytes.size();
    }
    fs::create_directories(root / "empty folder");
    return total;
}

// The same walk archived by libarchive with its defaults: every file deflated at level 6.
void LibarchiveDefault(const fs::path& source, const fs::path& archivePath)
{
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, archivePath.c_str());
    std::vector<char> buffer(1 << 20);
    const auto add = [&](const fs::path& path, const std::string& name) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, name.c_str());
        if (fs::is_directory(path)) {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            archive_write_header(a, entry);
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, static_cast<la_int64_t>(fs::file_size(path)));
            archive_write_header(a, entry);
            std::ifstream in(path, std::ios::binary);
            while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
                   in.gcount() > 0)
                archive_write_data(a, buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
        archive_entry_free(entry);
    };
    if (fs::is_directory(source)) {
        for (const auto& item : fs::recursive_directory_iterator(source))
            add(item.path(), fs::relative(item.path(), source).string());
    } else {
        add(source, source.filename().string());
    }
    archive_write_close(a);
    archive_write_free(a);
}

void Measure(const char* label, const fs::path& source, std::uint64_t bytes, const fs::path& work)
{
    const bool tree = fs::is_directory(source);
    const fs::path archive = work / "bridge.zip";
    std::uint32_t progress = 0, cancel = 0, unused = 0;

    int zipped = -1;
    const Timing zip = Time([&] {
        zipped =
            tree ? OrvakZipFolderRecursive(archive.c_str(), source.c_str(), &progress, &cancel)
                 : OrvakZipSingleFile(archive.c_str(), source.c_str(), &progress, &unused, &cancel);
    });
    const std::uint64_t archiveSize = fs::file_size(archive);

    const fs::path out = work / "extract";
    fs::remove_all(out);
    fs::create_directories(out);
    int unzipped = -1;
    const Timing unzip = Time([&] {
        unzipped = tree ? OrvakUnzipAllFolder(archive.c_str(), out.c_str(), &progress, &cancel)
                        : OrvakUnzipSingleFile(archive.c_str(), (out / "file").c_str(), &progress,
                                               &cancel);
    });
    fs::remove_all(out);
    fs::remove(archive);

    const fs::path reference = work / "libarchive-default.zip";
    const Timing baseline = Time([&] { LibarchiveDefault(source, reference); });
    const std::uint64_t referenceSize = fs::file_size(reference);
    fs::remove(reference);

    const double mb = static_cast<double>(bytes) / 1e6;
    const auto percent = [&](std::uint64_t size) {
        return 100.0 * static_cast<double>(size) / static_cast<double>(bytes);
    };
    std::printf("%s: %.1f MB source\n", label, mb);
    std::printf("  %-30s %7s %9s %8s %9s %10s\n", "", "wall s", "wall MB/s", "CPU s", "CPU MB/s",
                "archive");
    const auto row = [&](const char* name, const Timing& t, const char* size) {
        std::printf("  %-30s %7.2f %9.1f %8.2f %9.1f %10s\n", name, t.wall, mb / t.wall, t.cpu,
                    mb / t.cpu, size);
    };
    char bridgeSize[32], defaultSize[32];
    std::snprintf(bridgeSize, sizeof bridgeSize, "%.1f%%", percent(archiveSize));
    std::snprintf(defaultSize, sizeof defaultSize, "%.1f%%", percent(referenceSize));
    row(zipped == ZB_OK ? "zipbridge zip" : "zipbridge zip (FAILED)", zip, bridgeSize);
    row(unzipped == ZB_OK ? "zipbridge unzip" : "zipbridge unzip (FAILED)", unzip, "");
    row("libarchive default deflate zip", baseline, defaultSize);
    std::printf("  zipbridge against the default: %.1fx less CPU, archive %+.1f%% in size\n\n",
                baseline.cpu / zip.cpu,
                100.0 *
                    (static_cast<double>(archiveSize) / static_cast<double>(referenceSize) - 1.0));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const bool skipRandom = argc > 1 && std::strcmp(argv[1], "--skip-random") == 0;
    char pattern[] = "/tmp/zipbridge-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path work(pattern);

    const std::uint64_t treeBytes = MakeMixedTree(work / "tree");
    Measure("(a) mixed tree", work / "tree", treeBytes, work);
    fs::remove_all(work / "tree");

    if (!skipRandom) {
        std::mt19937_64 random(7);
        {
            std::ofstream out(work / "random.bin", std::ios::binary);
            for (int i = 0; i < 64; ++i) {
                const std::string block = Random(16 << 20, random);
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
            }
        }
        Measure("(b) 1 GiB random", work / "random.bin", 1ull << 30, work);
    }
    fs::remove_all(work);
    return 0;
}
