#pragma once

#include <QWidget>

namespace vantrel {

// "Tunnels": the receive tunnel list under its header bar.
class TunnelsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TunnelsPage(QWidget* parent = nullptr);
};

} // namespace vantrel
