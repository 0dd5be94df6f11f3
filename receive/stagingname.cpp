#include "receive/stagingname.h"

#include <climits>

namespace vantrel {

namespace {

const std::string FileMark = ".vantrel";
const std::string FolderMark = ".vantrel-unpack";

// A decimal number as std::to_string writes it (no sign, no leading zero), 1 to `maximum`.
std::optional<unsigned long> Number(const std::string& text, unsigned long maximum)
{
    if (text.empty() || text.size() > 10 || text[0] == '0')
        return std::nullopt;
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return value;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

std::string StagingName::Make(Kind kind, const std::string& targetName, pid_t pid, unsigned n)
{
    return '.' + targetName + (kind == Kind::File ? FileMark : FolderMark) + '-' +
           std::to_string(pid) + '-' + std::to_string(n);
}

std::optional<StagingName::Parsed> StagingName::Parse(const std::string& name)
{
    if (name.size() < 2 || name[0] != '.')
        return std::nullopt;
    const std::size_t numberDash = name.rfind('-');
    if (numberDash == std::string::npos || numberDash == 0)
        return std::nullopt;
    const std::size_t pidDash = name.rfind('-', numberDash - 1);
    if (pidDash == std::string::npos)
        return std::nullopt;
    const std::optional<unsigned long> pid =
        Number(name.substr(pidDash + 1, numberDash - pidDash - 1), INT_MAX);
    if (!pid)
        return std::nullopt;
    const std::string head = name.substr(0, pidDash);
    Kind kind;
    std::size_t mark;
    if (EndsWith(head, FolderMark)) {
        kind = Kind::Folder;
        mark = FolderMark.size();
    } else if (EndsWith(head, FileMark)) {
        kind = Kind::File;
        mark = FileMark.size();
    } else {
        return std::nullopt;
    }
    // The leading dot, then a target name of at least one byte.
    if (head.size() < mark + 2)
        return std::nullopt;
    const unsigned long maximum = kind == Kind::File ? MaxFileNumber : MaxFolderNumber;
    if (!Number(name.substr(numberDash + 1), maximum))
        return std::nullopt;
    return Parsed{kind, static_cast<pid_t>(*pid)};
}

} // namespace vantrel
