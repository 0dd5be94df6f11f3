#pragma once

#include "core/transferhub.h"

#include <QWidget>

#include <vector>

namespace vantrel {

// "Tunnels": the receive tunnel list under its header bar.
class TunnelsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TunnelsPage(QWidget* parent = nullptr);

    // The tunnel list as the hub holds it, newest first.
    void ShowTunnels(const std::vector<TransferHub::TunnelRow>& rows);
};

} // namespace vantrel
