#include "zipbridge/ziprecordwriter.h"

#include "core/base/ziprecords.h"
#include "zipbridge/zipfields.h"

#include <algorithm>

namespace vantrel {

namespace {

constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kMadeByUnix = ziprecords::UnixHost << 8;
constexpr std::uint16_t kZip64Version = 45;
// The "UT" and "ux" fields both headers carry.
constexpr std::uint16_t kCommonExtraSize = 9 + 15;

void Put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Put64(std::vector<unsigned char>& out, std::uint64_t v)
{
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t Clamp32(std::uint64_t v)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, kMax32));
}

// A deflated entry may come out larger than it went in, so the limit is lower for it.
bool LocalZip64(const ZipEntryInfo& e)
{
    return !e.isDirectory && (e.size > kMax32 || (e.deflated && e.size > 0xF0000000u));
}

std::uint16_t VersionNeeded(const ZipEntryInfo& e)
{
    if (e.isDirectory)
        return 20;
    if (LocalZip64(e))
        return kZip64Version;
    return e.deflated ? 20 : 10;
}

std::uint16_t Flags(const ZipEntryInfo& e)
{
    const auto* name = reinterpret_cast<const unsigned char*>(e.name.data());
    return static_cast<std::uint16_t>(
        (e.isDirectory ? 0 : ziprecords::DescriptorFlag) |
        (ZipFields::IsUtf8Name(name, e.name.size()) ? ziprecords::Utf8NameFlag : 0));
}

std::uint16_t Method(const ZipEntryInfo& e)
{
    return e.deflated ? 8 : 0;
}

std::uint32_t DosTime(const ZipEntryInfo& e)
{
    return ZipFields::DosTimeUtc(static_cast<std::int64_t>(e.mtime));
}

void AppendCommonExtra(std::vector<unsigned char>& out, const ZipEntryInfo& e)
{
    Put16(out, 0x5455); // "UT": the modification time only
    Put16(out, 5);
    out.push_back(1);
    Put32(out, e.mtime);
    Put16(out, 0x7875); // "ux": owner and group 0, four bytes each
    Put16(out, 11);
    out.push_back(1);
    out.push_back(4);
    Put32(out, 0);
    out.push_back(4);
    Put32(out, 0);
}

} // namespace

void ZipRecordWriter::AppendLocalHeader(std::vector<unsigned char>& out, const ZipEntryInfo& e)
{
    const bool zip64 = LocalZip64(e);
    // The compressed size of a deflated entry is unknown here: it follows in the descriptor.
    const std::uint64_t compressed = e.isDirectory || e.deflated ? 0 : e.size;
    const std::uint64_t size = e.isDirectory ? 0 : e.size;
    Put32(out, ziprecords::LocalSignature);
    Put16(out, VersionNeeded(e));
    Put16(out, Flags(e));
    Put16(out, Method(e));
    Put32(out, DosTime(e));
    Put32(out, 0); // the checksum follows the data
    Put32(out, zip64 ? kMax32 : static_cast<std::uint32_t>(compressed));
    Put32(out, zip64 ? kMax32 : static_cast<std::uint32_t>(size));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, kCommonExtraSize + (zip64 ? 20 : 0));
    out.insert(out.end(), e.name.begin(), e.name.end());
    AppendCommonExtra(out, e);
    if (zip64) {
        Put16(out, 0x0001);
        Put16(out, 16);
        Put64(out, size);
        Put64(out, compressed);
    }
}

void ZipRecordWriter::AppendDescriptor(std::vector<unsigned char>& out, const ZipEntryInfo& e,
                                       std::uint32_t crc, std::uint64_t compressedSize)
{
    if (e.isDirectory)
        return;
    Put32(out, ziprecords::DescriptorSignature);
    Put32(out, crc);
    if (LocalZip64(e)) {
        Put64(out, compressedSize);
        Put64(out, e.size);
    } else {
        Put32(out, static_cast<std::uint32_t>(compressedSize));
        Put32(out, static_cast<std::uint32_t>(e.size));
    }
}

void ZipRecordWriter::AppendCentralRecord(std::vector<unsigned char>& out, const ZipEntryInfo& e,
                                          std::uint32_t crc, std::uint64_t compressedSize)
{
    const std::uint64_t size = e.isDirectory ? 0 : e.size;
    const std::uint64_t compressed = e.isDirectory ? 0 : compressedSize;
    const bool zip64 = compressed > kMax32 || size > kMax32 || e.offset > kMax32;
    std::vector<unsigned char> zip64Field;
    if (zip64) {
        if (size >= kMax32)
            Put64(zip64Field, size);
        if (compressed >= kMax32)
            Put64(zip64Field, compressed);
        if (e.offset >= kMax32)
            Put64(zip64Field, e.offset);
    }
    const std::uint16_t version = VersionNeeded(e);
    Put32(out, ziprecords::CentralSignature);
    Put16(out, kMadeByUnix | version);
    Put16(out, zip64 ? std::max(version, kZip64Version) : version);
    Put16(out, Flags(e));
    Put16(out, Method(e));
    Put32(out, DosTime(e));
    Put32(out, crc);
    Put32(out, Clamp32(compressed));
    Put32(out, Clamp32(size));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, kCommonExtraSize + (zip64 ? 4 + zip64Field.size() : 0));
    Put16(out, 0); // comment
    Put16(out, 0); // disk
    Put16(out, 0); // internal attributes
    Put32(out, e.mode << 16);
    Put32(out, Clamp32(e.offset));
    out.insert(out.end(), e.name.begin(), e.name.end());
    AppendCommonExtra(out, e);
    if (zip64) {
        Put16(out, 0x0001);
        Put16(out, static_cast<std::uint32_t>(zip64Field.size()));
        out.insert(out.end(), zip64Field.begin(), zip64Field.end());
    }
}

void ZipRecordWriter::AppendEnd(std::vector<unsigned char>& out, std::uint64_t entries,
                                std::uint64_t centralOffset, std::uint64_t centralSize)
{
    if (centralSize > kMax32 || centralOffset > kMax32 || entries > 0xFFFF) {
        Put32(out, ziprecords::Zip64EndSignature);
        Put64(out, 44); // the size of the rest of this record
        Put16(out, kZip64Version);
        Put16(out, kZip64Version);
        Put32(out, 0); // disk
        Put32(out, 0); // disk of the directory
        Put64(out, entries);
        Put64(out, entries);
        Put64(out, centralSize);
        Put64(out, centralOffset);
        Put32(out, ziprecords::Zip64LocatorSignature);
        Put32(out, 0);
        Put64(out, centralOffset + centralSize); // where the record above starts
        Put32(out, 1);
    }
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(entries, 0xFFFF));
    Put32(out, ziprecords::EndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count);
    Put16(out, count);
    Put32(out, Clamp32(centralSize));
    Put32(out, Clamp32(centralOffset));
    Put16(out, 0); // comment
}

} // namespace vantrel
