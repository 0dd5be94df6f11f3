#pragma once

#include <string>

namespace vantrel {

// A destination file's path cut into the folder it goes in and its own name, as both the
// extraction and the stored-file delivery name a target: no '/' means the working directory,
// a leading '/' alone means the root. Header-only, so that the compression component shares it
// without linking the program's libraries.
struct DestinationName
{
    std::string folder;
    std::string name;

    static DestinationName Of(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return {".", path};
        return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
    }

    // False for a name that would not make a file of its own in the folder.
    bool NameIsPlain() const { return !name.empty() && name != "." && name != ".."; }
};

} // namespace vantrel
