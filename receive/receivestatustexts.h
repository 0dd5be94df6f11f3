#pragma once

#include "receive/receiveoutcome.h"

#include <QCoreApplication>
#include <QString>

namespace vantrel {

// The words of the receive side's status line (also the row's Status cell) for an outcome.
class ReceiveStatusTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReceiveStatusTexts)
public:
    static QString Of(const ReceiveOutcome& outcome);
};

} // namespace vantrel
