#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vantrel {

// The keys of an update server's reply, each found by its first occurrence anywhere in the
// text. Tokens are cut to their fields (259 bytes for the addresses of pages, 31 for the
// Internet address) at a character boundary.
struct UpdateReply
{
    static constexpr int MaxReplyBytes = 999;
    static constexpr int MaxUrlBytes = 259;
    static constexpr int MaxAddressBytes = 31;

    std::optional<double> version;        // "VNTVersion="
    std::optional<QString> downloadUrl;   // "URL=" (also inside "NewFeatURL=")
    std::optional<QString> publicAddress; // "YourIP="
    std::optional<QString> featuresUrl;   // "NewFeatURL="

    // Whether the check got its answer: both the version and the download address.
    bool answered() const { return version && downloadUrl; }

    static UpdateReply Parse(const QByteArray& text);
    // The white-space delimited token right after the first `key`, if the key is there.
    static std::optional<QString> Token(const QByteArray& text, const QByteArray& key,
                                        int maxBytes);
};

} // namespace vantrel
