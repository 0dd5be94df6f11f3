#pragma once

#include "net/securechannel.h"
#include "send/connectstatus.h"
#include "send/datastatus.h"
#include "send/sendnotice.h"

#include <QCoreApplication>
#include <QString>

namespace vantrel {

// The status-line words of the send side for what the lower layers report.
class SendStatusTexts
{
    Q_DECLARE_TR_FUNCTIONS(SendStatusTexts)
public:
    static QString Connect(ConnectStatus status, const QString& subject = QString());
    static QString Step(SecureChannel::ConnectStep step, const QString& peer);
    static QString Failure(SecureChannel::ConnectFailure failure, const QString& peer);
    // `source` is the file or archive the data worker streams.
    static QString Data(DataStatus status, const QString& source);
    // A worker's status notice: `subject` is what a connect status names, `source` as above.
    static QString Of(const SendNotice::Status& status, const QString& subject,
                      const QString& source);
};

} // namespace vantrel
