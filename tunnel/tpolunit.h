#pragma once

#include <QDialog>

namespace vantrel {

class IncomingPolicy;

// "Incoming Connections Policies": the mode and host list of the incoming policy. Every
// change takes effect at once; "OK" only hides the window, which exists for the whole run.
class TTPolForm : public QDialog
{
    Q_OBJECT
public:
    explicit TTPolForm(IncomingPolicy& policy, QWidget* parent = nullptr);

private:
    IncomingPolicy& m_policy;
};

} // namespace vantrel
