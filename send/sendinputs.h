#pragma once

#include <QString>

namespace vantrel {

// What the send window's request panel holds when SEND is pressed.
struct SendInputs
{
    QString hostText;    // HostCBox
    QString description; // Memo1
    bool direct = true;  // RBDirect checked; otherwise a tunnel send
    QString tunnelText;  // the selected TunCBox entry, "host (nick)"
};

} // namespace vantrel
