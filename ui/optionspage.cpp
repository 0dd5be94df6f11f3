#include "ui/optionspage.h"

#include "core/settings.h"
#include "widgets/gradientbar.h"
#include "widgets/lampbuttons.h"
#include "widgets/pictures.h"
#include "widgets/scrollingnotice.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel {

namespace {

constexpr int FieldLength = 31;

// The header bars' colours: the classic desktop blue to pale ("money") green, and light
// orange to the tooltip yellow.
const QColor DesktopColor(0x3a, 0x6e, 0xa5);
const QColor PaleGreen(0xc0, 0xdc, 0xc0);
const QColor LightOrange(0xff, 0xc0, 0x80);
const QColor TooltipYellow(0xff, 0xff, 0xe1);

QString NoticeText()
{
    const QString once =
        OptionsPage::tr("You have to close and restart Vantrel to make the changes active.");
    return once + QString(22, QLatin1Char(' ')) + once;
}

// A text field with its label above it.
QLayout* LabelledField(QLineEdit* field, const QString& label, QWidget* parent)
{
    auto* caption = new QLabel(label, parent);
    caption->setBuddy(field);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(caption);
    column->addWidget(field);
    return column;
}

// A list of addresses with its caption above it.
QListWidget* AddressList(const QString& name, const QString& caption, QGridLayout* grid, int column,
                         QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setMinimumSize(201, 57);
    auto* label = new QLabel(caption, parent);
    label->setBuddy(list);
    grid->addWidget(label, 0, column);
    grid->addWidget(list, 1, column);
    return list;
}

} // namespace

OptionsPage::OptionsPage(Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("OptionsPage"));
    auto* general = new GradientBar(tr("GENERAL SETTINGS"), DesktopColor, PaleGreen, this);
    general->setObjectName(QStringLiteral("GeneralBar"));
    m_notice = new ScrollingNotice(NoticeText(), this);
    m_notice->setObjectName(QStringLiteral("RestartNotice"));
    auto* addresses = new GradientBar(tr("IP ADDRESS UTILS"), LightOrange, TooltipYellow, this);
    addresses->setObjectName(QStringLiteral("AddressBar"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(BuildSettingsRow());
    layout->addWidget(BuildButtons());
    layout->addWidget(BuildTrustRow());
    layout->addWidget(m_notice, 0, Qt::AlignHCenter);
    layout->addWidget(addresses);
    layout->addWidget(BuildAddressLists(), 1);

    m_notice->setScrolling(true);
}

QWidget* OptionsPage::BuildSettingsRow()
{
    auto* row = new QWidget(this);
    auto* nickName = new QLineEdit(m_settings.nickName, row);
    nickName->setObjectName(QStringLiteral("NickName"));
    nickName->setMaxLength(FieldLength);
    auto* port = new QLineEdit(m_settings.serverPortText, row);
    port->setObjectName(QStringLiteral("SPort"));
    port->setMaxLength(FieldLength);
    auto* runCheck = new LampCheckBox(tr("Start when the desktop starts"), row);
    runCheck->setObjectName(QStringLiteral("ARunCheck"));
    runCheck->setToolTip(tr("Vantrel will be loaded at every boot"));
    runCheck->setChecked(m_settings.startWithDesktop);
    auto* updateCheck = new LampCheckBox(tr("Check for Updates"), row);
    updateCheck->setObjectName(QStringLiteral("AUpdateCheck"));
    updateCheck->setChecked(m_settings.autoUpdateCheck);

    // The fields are the settings' live copies: the rest of the program reads Settings.
    connect(nickName, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_settings.nickName = text;
        emit nickNameEdited();
    });
    connect(port, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.serverPortText = text; });
    connect(runCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_settings.startWithDesktop = on; });
    connect(updateCheck, &QCheckBox::toggled, this,
            [this](bool on) { m_settings.autoUpdateCheck = on; });

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(LabelledField(nickName, tr("NickName"), row), 2);
    layout->addLayout(LabelledField(port, tr("Server Port"), row), 1);
    layout->addSpacing(12);
    layout->addWidget(runCheck, 0, Qt::AlignBottom);
    layout->addSpacing(12);
    layout->addWidget(updateCheck, 0, Qt::AlignBottom);
    layout->addStretch(1);
    return row;
}

QWidget* OptionsPage::BuildButtons()
{
    struct Entry
    {
        const char* name;
        QString text;
        Picture picture;
        void (OptionsPage::*signal)();
        int row;
        int column;
    };
    const Entry entries[] = {
        {"PolicyBtn", tr("Incoming Connections Policies"), Picture::Policies,
         &OptionsPage::policiesRequested, 0, 0},
        {"ARecBtn", tr("Auto Receives"), Picture::AutoReceive, &OptionsPage::autoReceivesRequested,
         0, 1},
        {"DynDNSBtn", tr("Dynamic DNS Address Book"), Picture::DynDns,
         &OptionsPage::dynDnsRequested, 0, 2},
        {"ResumesBtn", tr("View Cached Compressed Resumes"), Picture::Resumes,
         &OptionsPage::resumesRequested, 1, 0},
        {"ManualBtn", tr("Online Manual"), Picture::Help, &OptionsPage::manualRequested, 1, 1},
    };
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    QList<QPushButton*> buttons;
    for (const Entry& entry : entries) {
        auto* button = new QPushButton(PictureIcon(entry.picture), entry.text, box);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setMinimumSize(211, 25);
        button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, entry.signal);
        grid->addWidget(button, entry.row, entry.column);
        buttons.append(button);
    }
    // One width for all five, wide enough for the longest caption in the desktop's font.
    int width = 211;
    for (const QPushButton* button : buttons)
        width = std::max(width, button->sizeHint().width());
    for (QPushButton* button : buttons)
        button->setMinimumWidth(width);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* OptionsPage::BuildTrustRow()
{
    auto* row = new QWidget(this);
    m_ownFingerprint = new QLabel(row);
    m_ownFingerprint->setObjectName(QStringLiteral("OwnFingerprint"));
    m_ownFingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ownFingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                              Qt::TextSelectableByKeyboard);
    m_ownFingerprint->setToolTip(
        tr("Another computer shows this when it first sends here; compare before trusting"));
    auto* caption = new QLabel(tr("This computer's fingerprint (SHA-256):"), row);
    caption->setBuddy(m_ownFingerprint);
    auto* trusted = new QPushButton(PictureIcon(Picture::Policies), tr("Trusted Computers"), row);
    trusted->setObjectName(QStringLiteral("TrustedBtn"));
    trusted->setAutoDefault(false);
    trusted->setMinimumSize(211, 25);
    connect(trusted, &QPushButton::clicked, this, &OptionsPage::trustedComputersRequested);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption, 0, Qt::AlignTop);
    layout->addWidget(m_ownFingerprint);
    layout->addSpacing(12);
    layout->addWidget(trusted, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    return row;
}

void OptionsPage::ShowOwnFingerprint(const QString& readable)
{
    m_ownFingerprint->setText(readable);
}

QWidget* OptionsPage::BuildAddressLists()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    m_localAddresses = AddressList(QStringLiteral("LIPList"), tr("Local Addresses"), grid, 0, box);
    m_internetAddresses =
        AddressList(QStringLiteral("IIPList"), tr("Internet Address"), grid, 1, box);
    m_internetAddresses->addItem(NoInternetAddress());
    grid->setColumnStretch(2, 1);

    m_localMenu = BuildAddressMenu(m_localAddresses, QStringLiteral("LocalAddressMenu"),
                                   tr("Refresh Address List"));
    connect(m_localMenu->actions().last(), &QAction::triggered, this,
            &OptionsPage::localAddressesRefreshRequested);
    m_internetMenu = BuildAddressMenu(m_internetAddresses, QStringLiteral("InternetAddressMenu"),
                                      tr("Re-get Internet Address"));
    connect(m_internetMenu->actions().last(), &QAction::triggered, this,
            &OptionsPage::internetAddressRequested);
    connect(m_localAddresses, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                PrepareLocalMenu()->popup(m_localAddresses->viewport()->mapToGlobal(pos));
            });
    connect(m_internetAddresses, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                PrepareInternetMenu()->popup(m_internetAddresses->viewport()->mapToGlobal(pos));
            });
    return box;
}

// "Copy Address in Clipboard" (the default entry), a separator and the list's own command.
QMenu* OptionsPage::BuildAddressMenu(QListWidget* list, const QString& name, const QString& command)
{
    auto* menu = new QMenu(list);
    menu->setObjectName(name);
    QAction* copy = menu->addAction(tr("Copy Address in Clipboard"));
    copy->setObjectName(QStringLiteral("CopyAddress"));
    menu->setDefaultAction(copy);
    connect(copy, &QAction::triggered, this, [this, list] { CopySelectedAddress(list); });
    menu->addSeparator();
    menu->addAction(command);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    return menu;
}

void OptionsPage::CopySelectedAddress(QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (!selected.isEmpty())
        QGuiApplication::clipboard()->setText(selected.front()->text());
}

QString OptionsPage::NoInternetAddress()
{
    return tr("Unable to get Address");
}

void OptionsPage::ShowLocalAddresses(const QStringList& addresses)
{
    m_localAddresses->clear();
    m_localAddresses->addItems(addresses);
}

void OptionsPage::ShowInternetAddress(const QString& text)
{
    m_internetAddresses->clear();
    m_internetAddresses->addItem(text);
}

QMenu* OptionsPage::PrepareLocalMenu()
{
    m_localMenu->actions().front()->setVisible(!m_localAddresses->selectedItems().isEmpty());
    return m_localMenu;
}

QMenu* OptionsPage::PrepareInternetMenu()
{
    const QList<QListWidgetItem*> selected = m_internetAddresses->selectedItems();
    // Only an address is worth copying, never the failure text.
    m_internetMenu->actions().front()->setVisible(!selected.isEmpty() &&
                                                  selected.front()->text() != NoInternetAddress());
    return m_internetMenu;
}

} // namespace vantrel
