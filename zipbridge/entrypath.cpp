#include "zipbridge/entrypath.h"

namespace vantrel {

std::optional<std::string> EntryPath::Sanitize(std::string_view name)
{
    if (name.empty() || name.front() == '/')
        return std::nullopt;
    if (name.find('\\') != std::string_view::npos)
        return std::nullopt;
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.size() >= 2 && isLetter(name[0]) && name[1] == ':')
        return std::nullopt;

    std::string clean;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".") {
            if (!clean.empty())
                clean += '/';
            clean.append(part);
        }
        start = end + 1;
    }
    return clean;
}

} // namespace vantrel
