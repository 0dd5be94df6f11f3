#include "receive/spform.h"

#include "widgets/lampbuttons.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vantrel {

TSpeedForm::TSpeedForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSpeedForm"));
    setWindowTitle(tr("Band Usage Limitations"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_noLimits = new LampRadioButton(tr("No limits"), QColor(0, 0xff, 0), this);
    m_noLimits->setObjectName(QStringLiteral("RadioButton1"));
    m_noLimits->setChecked(true);
    m_limitTo = new LampRadioButton(tr("Limit to"), Qt::red, this);
    m_limitTo->setObjectName(QStringLiteral("RadioButton2"));
    m_limit = new QLineEdit(QStringLiteral("64"), this);
    m_limit->setObjectName(QStringLiteral("Edit1"));
    // Room for any 32-bit value.
    m_limit->setMinimumWidth(
        m_limit->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")));
    auto* unit = new QLabel(tr("Kb/sec"), this);
    unit->setObjectName(QStringLiteral("Label1"));
    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_ok->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_ok->setMinimumWidth(m_ok->sizeHint().width() * 3 / 2);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_noLimits, 0, 0, 1, 3);
    layout->addWidget(m_limitTo, 1, 0);
    layout->addWidget(m_limit, 1, 1);
    layout->addWidget(unit, 1, 2);
    layout->addWidget(m_ok, 0, 3, 2, 1);
    layout->setColumnStretch(2, 1);
    resize(241, 65);

    connect(m_ok, &QPushButton::clicked, this, &TSpeedForm::OnOk);
}

void TSpeedForm::Open(Target target)
{
    if (isVisible())
        close();
    m_target = std::move(target);
    OnShow();
    show();
    raise();
    activateWindow();
}

void TSpeedForm::Detach()
{
    m_target = {};
    if (isVisible())
        close();
}

void TSpeedForm::OnShow()
{
    if (!m_target)
        return;
    const std::uint32_t limit = m_target.get();
    if (limit == 0) {
        m_noLimits->setChecked(true);
    } else {
        m_limitTo->setChecked(true);
        m_limit->setText(QString::number(limit));
    }
}

void TSpeedForm::OnOk()
{
    if (m_target) {
        bool whole = false;
        const std::uint32_t limit = m_limit->text().toUInt(&whole);
        m_target.set(m_noLimits->isChecked() || !whole ? 0 : limit);
    }
    close();
}

} // namespace vantrel
