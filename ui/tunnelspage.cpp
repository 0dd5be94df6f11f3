#include "ui/tunnelspage.h"

namespace vantrel {

TunnelsPage::TunnelsPage(QWidget* parent) : QWidget(parent) {}

} // namespace vantrel
