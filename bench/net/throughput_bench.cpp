// Raw secure-channel throughput over loopback: the data phase's pattern of one write per
// 1024-byte block on one side and one read of up to 1024 bytes on the other.
// Usage: net_throughput_bench [MiB=1024]. Prints MB/s for buffered and unbuffered writes
// (BENCH_ONLY=buffered or unbuffered runs one of them).
#include "tests/net/loopback.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace vantrel;
using namespace vantrel::test;

namespace {

double Run(const QString& folder, std::uint64_t bytes, bool buffered)
{
    SessionPair pair = ConnectPair(folder);
    if (!pair.client) {
        std::fprintf(stderr, "no session\n");
        std::exit(1);
    }
    std::uint64_t received = 0;
    const auto start = std::chrono::steady_clock::now();
    std::thread receiver([&] {
        char block[1024];
        while (received < bytes) {
            const int n = pair.server->Read(block, sizeof block);
            if (n <= 0)
                break;
            received += static_cast<std::uint64_t>(n);
        }
    });
    char block[1024] = {};
    pair.client->SetBufferedWrites(buffered);
    for (std::uint64_t sent = 0; sent < bytes; sent += sizeof block) {
        if (pair.client->Write(block, sizeof block) != static_cast<int>(sizeof block)) {
            std::fprintf(stderr, "write failed\n");
            break;
        }
    }
    pair.client->Flush();
    receiver.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pair.client->Close();
    if (received != bytes)
        std::fprintf(stderr, "received %llu of %llu\n", static_cast<unsigned long long>(received),
                     static_cast<unsigned long long>(bytes));
    return static_cast<double>(received) / seconds / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    TempFolder folder;
    if (!testcertificates::WriteProfileCertificates(folder.path()))
        return 1;
    const std::uint64_t bytes = mib * 1024 * 1024;
    std::printf("%llu MiB in 1024-byte records\n", static_cast<unsigned long long>(mib));
    const char* only = std::getenv("BENCH_ONLY"); // "buffered" or "unbuffered"
    if (!only || std::strcmp(only, "unbuffered") != 0)
        std::printf("buffered writes:   %.0f MB/s\n", Run(folder.path(), bytes, true));
    if (!only || std::strcmp(only, "buffered") != 0)
        std::printf("unbuffered writes: %.0f MB/s\n", Run(folder.path(), bytes, false));
    return 0;
}
