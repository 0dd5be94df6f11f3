#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vantrel {

// A listing or an edit of the auto-receive rules asked for on the command line, as it travels
// to the running copy of the profile.
struct RulesRequest
{
    enum class Kind
    {
        List,
        Add,
        Remove
    };

    Kind kind = Kind::List;
    // Add: the fields of the rules window.
    QString host;
    QString saveFolder;
    QString bandLimit;
    // Remove: the rule's number as listed, from 1.
    qint64 number = 0;

    QByteArray Encode() const;
    // Nothing when the bytes are not one request.
    static std::optional<RulesRequest> Decode(const QByteArray& bytes);
};

} // namespace vantrel
