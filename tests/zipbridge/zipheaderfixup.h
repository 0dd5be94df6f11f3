#pragma once

namespace vantrel::test::zip {

// Rewrites, in a finished zip file, the two header fields that libarchive fills from the
// process environment, so that the same tree gives the same bytes on every machine:
// - the DOS date and time, which libarchive takes from local time: they are set to the
//   entry's modification time in UTC, read from its "UT" extra field. The UT field keeps the
//   exact POSIX time, which libarchive, Info-ZIP and 7-Zip restore in preference, so real
//   modification times survive; readers that only know DOS time see UTC.
// - the UTF-8 name flag (bit 11), which libarchive sets from the locale's character set: it is
//   set exactly when the name is non-ASCII and valid UTF-8.
// Local headers and the central directory are changed alike. No checksum covers these fields.
class ZipHeaderFixup
{
public:
    // `fd` is the archive, open for reading and writing. False when the file is not a zip
    // as libarchive writes it or cannot be rewritten.
    static bool Apply(int fd);
};

} // namespace vantrel::test::zip
