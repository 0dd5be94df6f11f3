#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// Turns an entry name read from an archive, which may be hostile, into a path relative to
// the extraction folder.
class EntryPath
{
public:
    // Refuses (nothing) absolute names, any ".." component, backslashes and drive prefixes
    // ("C:"), which could reach outside the folder here or on a system that reads them as
    // separators. Empty and "." components are dropped; an empty result names the folder
    // itself.
    static std::optional<std::string> Sanitize(std::string_view name);
};

} // namespace vantrel
