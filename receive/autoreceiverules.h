#pragma once

#include "receive/autoreceivematch.h"
#include "receive/autoreceiverule.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel {

// The auto-receive rules and their file "autorec.vnt". UI thread only.
class AutoReceiveRules : public QObject
{
    Q_OBJECT
public:
    enum class Check { Ok, NoHost, NoSaveDirectory, NoBandLimit, InvalidSaveDirectory };
    struct Fields
    {
        QString host;
        QString saveDirectory;
        QString bandLimit;
    };

    explicit AutoReceiveRules(QObject* parent = nullptr);

    // First enabled rule whose host equals the dotted address or the peer name, exactly.
    std::optional<AutoReceiveMatch> MatchAutoReceive(const QString& peerName,
                                                     std::optional<std::uint32_t> ipv4) const;

    void Load(const QString& file);
    bool Save(const QString& file) const;

    const std::vector<AutoReceiveRule>& rules() const { return m_rules; }
    Check Add(const Fields& fields);
    Check Modify(int index, const Fields& fields);
    void Delete(int index);
    void SetEnabled(int index, bool enabled);

    // The message box of a failed check: text, title, and whether it is a warning (else info).
    struct Message
    {
        QString text;
        QString title;
        bool warning;
    };
    static Message CheckMessage(Check check);

signals:
    void changed();

private:
    Check Validate(Fields& fields) const;
    std::vector<AutoReceiveRule> m_rules;
};

} // namespace vantrel
