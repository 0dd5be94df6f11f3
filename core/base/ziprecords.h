#pragma once

#include <cstddef>
#include <cstdint>

// The fixed parts of the zip records that both the compression component and the receiving
// side read or write: signatures, the lengths of the fixed-size records, and the flags and
// host value they test. Header-only, like the little-endian codec, so that the component
// shares it without linking the program's libraries.
namespace vantrel::ziprecords {

constexpr std::uint32_t LocalSignature = 0x04034b50;
constexpr std::uint32_t DescriptorSignature = 0x08074b50;
constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;

// Lengths of the fixed parts, names and extra fields not counted.
constexpr std::size_t LocalSize = 30;
constexpr std::size_t DescriptorSize = 16; // with its signature, 32-bit sizes
constexpr std::size_t CentralSize = 46;
constexpr std::size_t EndSize = 22;

// General-purpose flags.
constexpr std::uint16_t EncryptedFlag = 1u << 0;
constexpr std::uint16_t DescriptorFlag = 1u << 3; // CRC and sizes follow the data
constexpr std::uint16_t Utf8NameFlag = 1u << 11;

// The "version made by" high byte of a Unix system, whose external attributes hold st_mode.
constexpr unsigned UnixHost = 3;

} // namespace vantrel::ziprecords
