#include "zipbridge/compressionprobe.h"

#include "core/base/fullio.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace vantrel {

namespace {

// Deflate must save at least this share of a sample to be chosen.
constexpr std::uint64_t kMinSavingPercent = 10;

bool StartsWith(const unsigned char* data, std::size_t length, std::size_t at, const char* magic,
                std::size_t magicLength)
{
    return length >= at + magicLength && std::memcmp(data + at, magic, magicLength) == 0;
}

// Formats whose payload is compressed already (images, audio, video, archives).
bool IsCompressedFormat(const unsigned char* d, std::size_t n)
{
    return StartsWith(d, n, 0, "\xFF\xD8\xFF", 3)         // JPEG
           || StartsWith(d, n, 0, "\x89PNG\r\n\x1A\n", 8) // PNG
           || StartsWith(d, n, 0, "GIF8", 4)              // GIF
           || StartsWith(d, n, 0, "PK\x03\x04", 4)        // zip, jar, office
           || StartsWith(d, n, 0, "\x1F\x8B", 2)          // gzip
           || StartsWith(d, n, 0, "BZh", 3)               // bzip2
           || StartsWith(d, n, 0,
                         "\xFD"
                         "7zXZ\x00",
                         6)                                                      // xz
           || StartsWith(d, n, 0, "\x28\xB5\x2F\xFD", 4)                         // zstd
           || StartsWith(d, n, 0, "\x04\x22\x4D\x18", 4)                         // lz4
           || StartsWith(d, n, 0, "7z\xBC\xAF\x27\x1C", 6)                       // 7-Zip
           || StartsWith(d, n, 0, "Rar!\x1A\x07", 6)                             // RAR
           || (StartsWith(d, n, 0, "RIFF", 4) && StartsWith(d, n, 8, "WEBP", 4)) // WebP
           || StartsWith(d, n, 4, "ftyp", 4)                                     // MP4, MOV, HEIC
           || StartsWith(d, n, 0, "OggS", 4)                                     // Ogg
           || StartsWith(d, n, 0, "fLaC", 4)                                     // FLAC
           || StartsWith(d, n, 0, "ID3", 3)                                      // MP3
           || StartsWith(d, n, 0, "\x1A\x45\xDF\xA3", 4);                        // Matroska, WebM
}

// Where the samples lie: the whole file when it is small, else its start, middle and end.
int SampleLayout(std::uint64_t size, std::uint64_t (&offsets)[3], std::size_t (&lengths)[3])
{
    constexpr std::size_t kSample = CompressionProbe::kSampleBytes;
    if (size <= 3 * kSample) {
        offsets[0] = 0;
        lengths[0] = static_cast<std::size_t>(size);
        return 1;
    }
    offsets[0] = 0;
    offsets[1] = (size / 2) - (kSample / 2);
    offsets[2] = size - kSample;
    lengths[0] = lengths[1] = lengths[2] = kSample;
    return 3;
}

// Deflates each sample on its own and compares the total with the samples' size.
bool DeflateDoesNotPay(const unsigned char* const (&samples)[3], const std::size_t (&lengths)[3],
                       int count, unsigned char* output, std::size_t outputCapacity)
{
    if (IsCompressedFormat(samples[0], lengths[0]))
        return true;
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    std::uint64_t sampled = 0;
    std::uint64_t compressed = 0;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        deflateReset(&stream);
        stream.next_in = const_cast<unsigned char*>(samples[i]);
        stream.avail_in = static_cast<uInt>(lengths[i]);
        stream.next_out = output;
        stream.avail_out = static_cast<uInt>(outputCapacity);
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
            ok = false;
        sampled += lengths[i];
        compressed += stream.total_out;
    }
    deflateEnd(&stream);
    if (!ok)
        return false;
    return !CompressionProbe::DeflateSavesEnough(sampled, compressed);
}

} // namespace

bool CompressionProbe::ShouldStore(int fd, std::uint64_t size, std::vector<unsigned char>& scratch)
{
    if (size == 0)
        return true;
    std::uint64_t offsets[3] = {0, 0, 0};
    std::size_t lengths[3] = {0, 0, 0};
    const int count = SampleLayout(size, offsets, lengths);

    const std::size_t inputCapacity = 3 * kSampleBytes;
    const std::size_t outputCapacity = compressBound(static_cast<uLong>(inputCapacity));
    scratch.resize(inputCapacity + outputCapacity);
    unsigned char* input = scratch.data();
    const unsigned char* samples[3] = {input, input + kSampleBytes, input + 2 * kSampleBytes};
    for (int i = 0; i < count; ++i) {
        // A failed read is reported by the real read that follows.
        if (!ReadAt(fd, input + i * kSampleBytes, lengths[i], offsets[i]))
            return false;
        // A signature alone decides; the other samples are not needed.
        if (i == 0 && IsCompressedFormat(input, lengths[0]))
            return true;
    }
    return DeflateDoesNotPay(samples, lengths, count, input + inputCapacity, outputCapacity);
}

bool CompressionProbe::ShouldStoreData(const unsigned char* data, std::size_t size,
                                       std::vector<unsigned char>& scratch)
{
    if (size == 0)
        return true;
    std::uint64_t offsets[3] = {0, 0, 0};
    std::size_t lengths[3] = {0, 0, 0};
    const int count = SampleLayout(size, offsets, lengths);
    const unsigned char* samples[3] = {data + offsets[0], data + offsets[1], data + offsets[2]};
    const std::size_t outputCapacity = compressBound(static_cast<uLong>(3 * kSampleBytes));
    scratch.resize(outputCapacity);
    return DeflateDoesNotPay(samples, lengths, count, scratch.data(), outputCapacity);
}

bool CompressionProbe::HasCompressedSignature(const unsigned char* data, std::size_t length)
{
    return IsCompressedFormat(data, length);
}

bool CompressionProbe::DeflateSavesEnough(std::uint64_t sampled, std::uint64_t compressed)
{
    return compressed * 100 <= sampled * (100 - kMinSavingPercent);
}

} // namespace vantrel
