#include "ui/tunnelspage.h"

namespace vantrel {

TunnelsPage::TunnelsPage(QWidget* parent) : QWidget(parent) {}

void TunnelsPage::ShowTunnels(const std::vector<TransferHub::TunnelRow>& rows)
{
    Q_UNUSED(rows);
}

} // namespace vantrel
