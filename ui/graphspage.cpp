#include "ui/graphspage.h"

#include "stats/ratehistory.h"

namespace vantrel {

GraphsPage::GraphsPage(QWidget* parent) : QWidget(parent) {}

void GraphsPage::Show(const RateHistory& history)
{
    Q_UNUSED(history);
}

} // namespace vantrel
