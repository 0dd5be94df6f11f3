#include "ui/optionspage.h"

#include "core/settings.h"

namespace vantrel {

OptionsPage::OptionsPage(Settings& settings, QWidget* parent) : QWidget(parent), m_settings(settings)
{
}

} // namespace vantrel
