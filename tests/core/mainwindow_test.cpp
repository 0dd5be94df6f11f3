#include "core/mainunit.h"

#include "core/handoff.h"
#include "core/handoffreceiver.h"
#include "core/transferhub.h"
#include "core/transferwindows.h"
#include "netutil/dyndnsunit.h"
#include "netutil/newverform.h"
#include "receive/arecunit.h"
#include "receive/resunit.h"
#include "receive/spform.h"
#include "send/recenthosts.h"
#include "send/sendtransfer.h"
#include "tests/core/mainwindowfixture.h"
#include "tests/netutil/updateserverstub.h"
#include "tunnel/newtununit.h"
#include "tunnel/tpolunit.h"
#include "tunnel/tunnelregistration.h"
#include "ui/activetransferspage.h"
#include "ui/closeunit.h"
#include "ui/optionspage.h"
#include "ui/transferlistview.h"
#include "ui/transferrowlook.h"
#include "ui/trayicon.h"
#include "ui/tunnelspage.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace vantrel {
namespace {

using Kind = TransferListModel::Kind;

QStringList MenuTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QStringList Texts(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromLatin1(text);
    return list;
}

// A button of a dialog by its caption, or null.
QAbstractButton* ButtonOf(QWidget* dialog, const QString& text)
{
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_parts.Make(/*useTray=*/true)); }

    TMainForm& form() { return *m_parts.form; }
    TransferHub& hub() { return *form().core().hub(); }
    ActiveTransfersPage& page() { return *form().transfersPage(); }
    QWidget* WindowOf(QObject* transfer) { return form().transferWindows()->WindowOf(transfer); }
    // A send transfer with its UPLOADS row and window, as a hand-off makes it.
    SendTransfer* OpenSend()
    {
        m_parts.home.write(QStringLiteral("payload.txt"), QByteArrayLiteral("payload"));
        return hub().OpenSend(m_parts.home.file(QStringLiteral("payload.txt")));
    }

    test::MainWindowParts m_parts;
};

TEST_F(MainWindowTest, FrameHasTheFivePagesStatusPanelsTimerAndTray)
{
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Vantrel"));
    // Wider only where the desktop font needs it for the status bar.
    EXPECT_EQ(form().height(), 357);
    EXPECT_GE(form().width(), 798);
    QTabWidget* pages = form().pages();
    ASSERT_EQ(pages->count(), 5);
    const QStringList tabs = {QStringLiteral("Active File Transfers"), QStringLiteral("Options"),
                              QStringLiteral("Tunnels"), QStringLiteral("Graphs"),
                              QStringLiteral("Credits")};
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), tabs[i]);
        EXPECT_FALSE(pages->tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(pages->currentIndex(), 0);

    EXPECT_EQ(form().statusPanel(0)->text(), QStringLiteral("Active Transfers: 0"));
    EXPECT_EQ(form().statusPanel(1)->text(), QStringLiteral("Actual Download Rate: 0 bytes/sec"));
    EXPECT_EQ(form().statusPanel(2)->text(), QStringLiteral("Actual Upload Rate: 0 bytes/sec"));
    for (int i = 0; i < 4; ++i)
        EXPECT_GE(form().statusPanel(i)->minimumWidth(), 200);
    EXPECT_TRUE(form().statusPanel(3)->alignment() & Qt::AlignHCenter);

    auto* stats = form().findChild<QTimer*>(QStringLiteral("StatsTimer"));
    ASSERT_NE(stats, nullptr);
    EXPECT_TRUE(stats->isActive());
    EXPECT_EQ(stats->interval(), 2000);

    EXPECT_EQ(form().tray()->hint(), QStringLiteral("There are no transfers in progress..."));
    EXPECT_FALSE(form().tray()->animating());
    EXPECT_EQ(MenuTexts(form().tray()->menu()), QStringList{QStringLiteral("Close Vantrel")});
    EXPECT_EQ(form().tray()->menu()->defaultAction(), form().tray()->closeAction());

    // The tool windows exist from the start, hidden.
    const QWidget* tools[] = {form().speedForm(),   form().closeForm(),       form().policiesForm(),
                              form().resumesForm(), form().autoReceiveForm(), form().dynDnsForm()};
    for (const QWidget* tool : tools) {
        ASSERT_NE(tool, nullptr);
        EXPECT_FALSE(tool->isVisible());
    }
}

TEST_F(MainWindowTest, EditingTheNickNamePublishesItForTheConnectionThreads)
{
    auto* field = form().findChild<QLineEdit*>(QStringLiteral("NickName"));
    ASSERT_NE(field, nullptr);
    field->setText(QStringLiteral("Edited"));
    EXPECT_EQ(form().core().NickNameInForce(), QByteArray("Edited"));
    field->clear();
    EXPECT_EQ(form().core().NickNameInForce(), QByteArray("Anonymous"));
}

TEST_F(MainWindowTest, FirstShowGoesToTheTrayOrTheTaskBar)
{
    form().show();
    EXPECT_TRUE(test::WaitUntil([&] { return form().isHidden(); }));
    EXPECT_EQ(form().statusPanel(3)->text(), QStringLiteral("Vantrel v 1.20"));

    // Brought back from the tray by its icon.
    emit form().tray()->restoreRequested();
    EXPECT_TRUE(form().isVisible());
    // Minimising it hides it again.
    form().showMinimized();
    EXPECT_TRUE(test::WaitUntil([&] { return form().isHidden(); }));

    // Without a tray it lives on the task bar, never out of reach.
    test::MainWindowParts noTray;
    ASSERT_TRUE(noTray.Make(/*useTray=*/false));
    noTray.form->show();
    EXPECT_TRUE(test::WaitUntil([&] { return noTray.form->isMinimized(); }));
    EXPECT_TRUE(noTray.form->isVisible());
}

TEST_F(MainWindowTest, ListsHaveTheirColumnsAndBehaviour)
{
    for (const Kind kind : {Kind::Downloads, Kind::Uploads}) {
        TransferListView* list = page().view(kind);
        EXPECT_EQ(list->objectName(),
                  kind == Kind::Downloads ? QStringLiteral("Lista") : QStringLiteral("Lista2"));
        const int widths[] = {118, 100, 148, 36, 36, 70, 106, 87, 54};
        const QStringList headers = Texts({"Host", "NickName", "FileName", "Dirs", "Files", "Size",
                                           "Status", "Speed", "Progress"});
        ASSERT_EQ(list->model()->columnCount(), 9);
        for (int column = 0; column < 9; ++column) {
            EXPECT_EQ(list->columnWidth(column), widths[column]) << column;
            EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(),
                      headers[column]);
        }
        EXPECT_TRUE(list->showGrid());
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_FALSE(list->isSortingEnabled());
        EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
        EXPECT_EQ(list->toolTip(), QStringLiteral("Right-click to show context menu"));
    }
    EXPECT_EQ(page().splitter()->orientation(), Qt::Vertical);
    EXPECT_EQ(page().splitter()->handleWidth(), 6);
    EXPECT_EQ(page().splitter()->widget(0)->findChild<TransferListView*>(), page().downloadsView());

    // Only DOWNLOADS keeps its selection drawn while another control has the focus.
    const auto inactiveHighlight = [](QWidget* list) {
        return list->palette().color(QPalette::Inactive, QPalette::Highlight);
    };
    EXPECT_EQ(inactiveHighlight(page().downloadsView()),
              page().downloadsView()->palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(inactiveHighlight(page().uploadsView()),
              page().uploadsView()->palette().color(QPalette::Inactive, QPalette::Base));
}

TEST_F(MainWindowTest, RowsAreColouredAlignedAndIconedByState)
{
    struct Case
    {
        Kind kind;
        TransferListModel::IconSlot icon;
        QColor colour;
        bool bold;
    };
    const QColor black(Qt::black), navy(0, 0, 0x80), green(0, 0x80, 0);
    const Case cases[] = {
        {Kind::Downloads, TransferListModel::NoIcon, navy, true},
        {Kind::Downloads, TransferListModel::IconTransferring, navy, true},
        {Kind::Downloads, TransferListModel::IconCompressing, navy, true},
        {Kind::Downloads, TransferListModel::IconStopped, black, false},
        {Kind::Downloads, TransferListModel::IconReceiveCompleted, black, false},
        {Kind::Downloads, TransferListModel::IconDropped, black, false},
        {Kind::Uploads, TransferListModel::IconWaiting, green, true},
        {Kind::Uploads, TransferListModel::IconTransferring, green, true},
        {Kind::Uploads, TransferListModel::IconSendCompleted, black, false},
        {Kind::Uploads, TransferListModel::IconStopped, black, false},
    };
    QObject live;
    for (const Case& c : cases) {
        TransferListModel& list = hub().list(c.kind);
        const auto id = list.InsertTop(&live, QStringLiteral("peer"));
        list.SetStateIcon(id, c.icon);
        const QAbstractItemModel* shown = page().view(c.kind)->model();
        const QModelIndex host = shown->index(0, TransferListModel::Host);
        SCOPED_TRACE(testing::Message() << int(c.kind) << " icon " << c.icon);
        EXPECT_EQ(host.data(Qt::ForegroundRole).value<QColor>(), c.colour);
        EXPECT_EQ(host.data(Qt::FontRole).value<QFont>().bold(), c.bold);
        EXPECT_EQ(host.data(Qt::DecorationRole).value<QIcon>().isNull(),
                  c.icon == TransferListModel::NoIcon);
    }

    // Alignment per column; the file name carries its type's icon, a directory the folder's.
    const QAbstractItemModel* shown = page().downloadsView()->model();
    const auto alignment = [&](int column) {
        return Qt::Alignment(shown->index(0, column).data(Qt::TextAlignmentRole).toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(TransferListModel::Host), Qt::AlignLeft);
    EXPECT_EQ(alignment(TransferListModel::Dirs), Qt::AlignRight);
    EXPECT_EQ(alignment(TransferListModel::Size), Qt::AlignRight);
    EXPECT_EQ(alignment(TransferListModel::Status), Qt::AlignLeft);
    EXPECT_EQ(alignment(TransferListModel::Speed), Qt::AlignHCenter);
    EXPECT_EQ(alignment(TransferListModel::Progress), Qt::AlignHCenter);

    TransferListModel& downloads = hub().downloads();
    const QModelIndex file = shown->index(0, TransferListModel::FileName);
    EXPECT_TRUE(file.data(Qt::DecorationRole).value<QIcon>().isNull());
    downloads.SetFileIcon(downloads.IdAt(0), QStringLiteral("folder"));
    EXPECT_FALSE(file.data(Qt::DecorationRole).value<QIcon>().isNull());
    downloads.SetFileIcon(downloads.IdAt(0), QStringLiteral("report.pdf"));
    EXPECT_FALSE(file.data(Qt::DecorationRole).value<QIcon>().isNull());
    downloads.SetFileIcon(downloads.IdAt(0), QStringLiteral("no-extension"));
    EXPECT_FALSE(file.data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST_F(MainWindowTest, MenusOfferShowOnlyForActiveRowsAndToggleTheWindow)
{
    EXPECT_EQ(MenuTexts(page().PrepareMenu(Kind::Downloads)),
              Texts({"Show", "-", "Show all Active", "Hide all Active", "Clear all Inactive", "-",
                     "Incoming Connections Policies"}));
    EXPECT_EQ(MenuTexts(page().PrepareMenu(Kind::Uploads)),
              Texts({"Show", "-", "Show all Active", "Hide all Active", "Clear all Inactive", "-",
                     "New File Send", "New Directory Send"}));

    // No selection: no "Show".
    QMenu* menu = page().PrepareMenu(Kind::Uploads);
    EXPECT_FALSE(menu->actions().front()->isVisible());
    EXPECT_EQ(menu->defaultAction(), menu->actions().front());

    SendTransfer* transfer = OpenSend();
    QWidget* window = WindowOf(transfer);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parent(), nullptr);

    page().uploadsView()->SelectRow(0);
    menu = page().PrepareMenu(Kind::Uploads);
    ASSERT_TRUE(menu->actions().front()->isVisible());
    EXPECT_EQ(menu->actions().front()->text(), QStringLiteral("Hide"));
    menu->actions().front()->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(page().PrepareMenu(Kind::Uploads)->actions().front()->text(), QStringLiteral("Show"));

    // A double-click is "Show" on that row.
    const QModelIndex cell = page().uploadsView()->model()->index(0, TransferListModel::Status);
    emit page().uploadsView()->doubleClicked(cell);
    EXPECT_TRUE(window->isVisible());

    page().ShowAllActive(Kind::Uploads, false);
    EXPECT_FALSE(window->isVisible());
    page().ShowAllActive(Kind::Uploads, true);
    EXPECT_TRUE(window->isVisible());

    // Once its transfer closed the row stays, inactive, and "Show" is hidden.
    transfer->Close();
    ASSERT_TRUE(test::WaitUntil([&] { return WindowOf(transfer) == nullptr; }));
    EXPECT_FALSE(hub().uploads().IsActive(0));
    EXPECT_EQ(hub().uploads().rowCount(), 1);
    page().uploadsView()->SelectRow(0);
    EXPECT_FALSE(page().PrepareMenu(Kind::Uploads)->actions().front()->isVisible());
    EXPECT_EQ(form().tray()->hint(), QStringLiteral("Active Transfers: 0"));
}

TEST_F(MainWindowTest, ClearAllInactiveKeepsOnlyTheActiveRowsInOrder)
{
    std::vector<SendTransfer*> live;
    for (int i = 0; i < 4; ++i) {
        if (i % 2 == 0)
            live.push_back(OpenSend());
        else
            hub().uploads().InsertTop(nullptr, QStringLiteral("gone %1").arg(i));
    }
    ASSERT_EQ(hub().uploads().rowCount(), 4);
    page().ClearAllInactive(Kind::Uploads);
    ASSERT_EQ(hub().uploads().rowCount(), 2);
    EXPECT_EQ(hub().uploads().TransferAt(0), live[1]);
    EXPECT_EQ(hub().uploads().TransferAt(1), live[0]);
}

TEST_F(MainWindowTest, NewFileAndDirectorySendHandOffTheChosenPath)
{
    m_parts.home.write(QStringLiteral("chosen.bin"), QByteArrayLiteral("x"));
    const QString file = m_parts.home.file(QStringLiteral("chosen.bin"));
    m_parts.dialogs.openPaths.push_back(file);
    page().ChooseFileToSend();
    ASSERT_TRUE(test::WaitUntil([&] { return hub().uploads().rowCount() == 1; }));
    ASSERT_EQ(m_parts.dialogs.shown.size(), 1u);
    EXPECT_EQ(m_parts.dialogs.shown[0].kind, QStringLiteral("open"));
    EXPECT_TRUE(m_parts.dialogs.shown[0].filter.startsWith(QStringLiteral("All files")));
    EXPECT_EQ(handoff::ReadFile(form().core().folder().file(handoff::FileName)), file.toUtf8());
    EXPECT_NE(WindowOf(hub().uploads().TransferAt(0)), nullptr);

    m_parts.dialogs.folders.push_back(m_parts.home.path());
    page().ChooseDirectoryToSend();
    ASSERT_TRUE(test::WaitUntil([&] { return hub().uploads().rowCount() == 2; }));
    EXPECT_EQ(m_parts.dialogs.shown.back().kind, QStringLiteral("folder"));
    EXPECT_EQ(m_parts.dialogs.shown.back().title, QStringLiteral("Select Directory"));

    // Cancelled choices hand nothing off.
    page().ChooseFileToSend();
    page().ChooseDirectoryToSend();
    test::WaitUntil([] { return false; }, 200);
    EXPECT_EQ(hub().uploads().rowCount(), 2);
    EXPECT_EQ(hub().activeCount(), 2);
}

TEST_F(MainWindowTest, CloseIsRefusedWhileATransferRunsAndItsWindowShown)
{
    form().show();
    ASSERT_TRUE(test::WaitUntil([&] { return form().isHidden(); }));
    SendTransfer* transfer = OpenSend();
    QWidget* window = WindowOf(transfer);
    ASSERT_NE(window, nullptr);
    window->hide();

    bool asked = false;
    QTimer::singleShot(0, form().closeForm(), [&] {
        if (form().closeForm()->isVisible()) {
            asked = true;
            form().closeForm()->reject();
        }
    });
    EXPECT_FALSE(form().close());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(form().isVisible()); // restored
    EXPECT_FALSE(form().closing());
    EXPECT_EQ(m_parts.quits, 0);

    // The tray's "Close Vantrel" takes the same road.
    window->hide();
    form().tray()->closeAction()->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(m_parts.quits, 0);
}

TEST_F(MainWindowTest, ConfirmationDecidesBetweenClosingAndTheTray)
{
    form().show();
    ASSERT_TRUE(test::WaitUntil([&] { return form().isHidden(); }));
    form().RestoreApplication();

    bool minimizeFound = false;
    QTimer::singleShot(0, form().closeForm(), [&] {
        QAbstractButton* minimize = ButtonOf(form().closeForm(), QStringLiteral("Minimize"));
        minimizeFound = minimize != nullptr;
        if (minimize)
            minimize->click();
        else
            form().closeForm()->reject();
    });
    const bool closed = form().RequestClose();
    if (!minimizeFound)
        FAIL() << "TCloseForm has no \"Minimize\" button";
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form().isHidden());
    EXPECT_EQ(m_parts.quits, 0);

    // Answered "close": the lists are saved and the program ends.
    QTimer::singleShot(0, form().closeForm(), [&] {
        if (QAbstractButton* close = ButtonOf(form().closeForm(), QStringLiteral("&Close")))
            close->click();
        else
            form().closeForm()->accept();
    });
    EXPECT_TRUE(form().RequestClose());
    EXPECT_TRUE(form().closing());
    EXPECT_EQ(m_parts.quits, 1);
    EXPECT_TRUE(QFile::exists(form().core().folder().file(QStringLiteral("autorec.vnt"))));
}

TEST_F(MainWindowTest, BandLimitDialogFollowsTheTransferWindowsAndClosesWithAny)
{
    SendTransfer* first = OpenSend();
    SendTransfer* second = OpenSend();
    auto* firstWindow = WindowOf(first);
    ASSERT_NE(firstWindow, nullptr);
    // The window's band-limit button.
    QMetaObject::invokeMethod(firstWindow, "bandLimitRequested");
    TSpeedForm* dialog = form().speedForm();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->hasTarget());

    // Any transfer closing lets go of it, not only the one it adjusts.
    second->Close();
    ASSERT_TRUE(test::WaitUntil([&] { return !dialog->isVisible(); }));
    EXPECT_FALSE(dialog->hasTarget());
    EXPECT_EQ(form().tray()->hint(), QStringLiteral("Active Transfers: 1"));
    first->Close();
    ASSERT_TRUE(test::WaitUntil([&] { return hub().activeCount() == 0; }));
    EXPECT_EQ(form().tray()->hint(), QStringLiteral("Active Transfers: 0"));
    test::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(form().transferWindows()->count(), 0);
}

TEST_F(MainWindowTest, StatisticsTickFillsTheStatusBar)
{
    OpenSend();
    form().StatisticsTickNow();
    EXPECT_EQ(form().statusPanel(0)->text(), QStringLiteral("Active Transfers: 1"));
    EXPECT_EQ(form().statusPanel(1)->text(), QStringLiteral("Actual Download Rate: 0 bytes/sec"));
    EXPECT_EQ(form().statusPanel(2)->text(), QStringLiteral("Actual Upload Rate: 0 bytes/sec"));

    form().core().counters().lastTick -= 2000;
    form().core().counters().AddDownload(50 * 1024 * 1024);
    form().StatisticsTickNow();
    EXPECT_TRUE(form().statusPanel(1)->text().startsWith(QStringLiteral("Actual Download Rate: ")));
    EXPECT_TRUE(form().statusPanel(1)->text().endsWith(QStringLiteral("/sec")));
    EXPECT_NE(form().statusPanel(1)->text(), QStringLiteral("Actual Download Rate: 0 bytes/sec"));
    EXPECT_EQ(form().statusPanel(2)->text(), QStringLiteral("Actual Upload Rate: 0 bytes/sec"));
}

TEST_F(MainWindowTest, TrayAnimatesWhileARequestWaits)
{
    TrayIcon* tray = form().tray();
    hub().StartTrayAnimation();
    EXPECT_TRUE(tray->animating());
    ASSERT_TRUE(test::WaitUntil([&] { return tray->frame() >= 2; }, 2000));
    hub().StopTrayAnimation();
    EXPECT_FALSE(tray->animating());
    EXPECT_EQ(tray->frame(), 0);
}

TEST_F(MainWindowTest, ToolWindowsManualAndF1)
{
    emit form().optionsPage()->policiesRequested();
    EXPECT_TRUE(form().policiesForm()->isVisible());
    emit form().optionsPage()->autoReceivesRequested();
    EXPECT_TRUE(form().autoReceiveForm()->isVisible());
    emit form().optionsPage()->resumesRequested();
    EXPECT_TRUE(form().resumesForm()->isVisible());
    emit form().optionsPage()->dynDnsRequested();
    EXPECT_TRUE(form().dynDnsForm()->isVisible());
    form().policiesForm()->hide();
    emit page().policiesRequested();
    EXPECT_TRUE(form().policiesForm()->isVisible());
    form().policiesForm()->hide();
    emit form().tunnelsPage()->policiesRequested();
    EXPECT_TRUE(form().policiesForm()->isVisible());

    // No manual: nothing happens, nothing is said.
    QTest::keyClick(&form(), Qt::Key_F1);
    emit form().optionsPage()->manualRequested();
    EXPECT_TRUE(m_parts.dialogs.opened.empty());
    EXPECT_TRUE(m_parts.dialogs.shown.empty());

    const QString manual = form().core().folder().file(QStringLiteral("VNTHELP.html"));
    QFile file(manual);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QTest::keyClick(&form(), Qt::Key_F1);
    emit form().optionsPage()->manualRequested();
    ASSERT_EQ(m_parts.dialogs.opened.size(), 2u);
    EXPECT_EQ(m_parts.dialogs.opened[0], QUrl::fromLocalFile(manual));
}

// The Tunnels page's menu: a new-tunnel window for each opening (modal, with the recent
// hosts), and the list's commands on the hub's tunnel list.
TEST_F(MainWindowTest, TunnelsMenuOpensTheNewTunnelWindowAndClosesTunnels)
{
    form().core().recentHosts().AddRecentHost(QStringLiteral("pc1"), 9000, QStringLiteral("Bob"));
    EXPECT_EQ(form().newTunnelForm(), nullptr);
    emit form().tunnelsPage()->openTunnelRequested();
    QPointer<TNewTunnel> window = form().newTunnelForm();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isModal());
    auto* host = window->findChild<QComboBox*>(QStringLiteral("HostCBox"));
    ASSERT_TRUE(host);
    ASSERT_EQ(host->count(), 1);
    EXPECT_TRUE(host->itemText(0).startsWith(QStringLiteral("pc1:9000")));
    window->reject();
    ASSERT_TRUE(test::WaitUntil([&] { return !window; })) << "gone once closed";
    EXPECT_EQ(form().newTunnelForm(), nullptr);

    // A dropped registration is listed; closing leaves it alone, clearing removes it.
    auto registration = std::make_unique<TunnelRegistration>();
    registration->peerName = QStringLiteral("10.0.0.7");
    registration->nickName = QByteArrayLiteral("Ann");
    registration->state = TunnelState::Dropped;
    HandOver(&hub(), hub::UM_TUNNEL_REGISTERED{std::move(registration)});
    QTreeWidget* list = form().tunnelsPage()->list();
    ASSERT_TRUE(test::WaitUntil([&] { return list->topLevelItemCount() == 1; }));
    list->setCurrentItem(list->topLevelItem(0));
    emit form().tunnelsPage()->closeTunnelRequested(form().tunnelsPage()->selectedId());
    EXPECT_EQ(list->topLevelItem(0)->text(TunnelsPage::StatusColumn), QStringLiteral("Dropped"));
    emit form().tunnelsPage()->clearInactiveRequested();
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

// The update server named in the settings answers the first showing's check: the Internet
// address is shown, and a newer version brings the program up with its notice.
TEST(MainWindowUpdates, TheFirstShowingsCheckReachesTheAddressListAndTheNotice)
{
    test::UpdateServerStub server;
    server.SetReply("HTTP/1.0 200 OK\n\nVNTVersion=1.3\nURL=http://127.0.0.1/v13.deb\n"
                    "YourIP=198.51.100.7\n");
    test::MainWindowParts parts;
    parts.configure = [&](SettingsStore& store, ProgramCore::Options& options) {
        store.Write(SettingsStore::MainKey, QStringLiteral("UpdateHost"),
                    QStringLiteral("127.0.0.1"));
        store.Write(SettingsStore::MainKey, QStringLiteral("UpdatePort"),
                    QString::number(server.port()));
        store.Write(SettingsStore::MainKey, QStringLiteral("UpdateProbeAddress"),
                    QStringLiteral("127.0.0.1"));
        options.updateSetup.delay = std::chrono::milliseconds(0);
        // Names resolve, whatever this machine's name files say of 127.0.0.1.
        options.updateSetup.probe = [](ServerExchange&, const QString&) { return true; };
    };
    ASSERT_TRUE(parts.Make(/*useTray=*/true));
    TMainForm& form = *parts.form;
    QListWidget* internet = form.optionsPage()->internetAddresses();
    EXPECT_EQ(server.requests(), 0); // nothing before the first showing
    form.show();
    ASSERT_TRUE(test::WaitUntil([&] { return form.newVersionForm()->isVisible(); }));
    EXPECT_EQ(form.newVersionForm()->latestVersion(), 1.3);
    EXPECT_EQ(form.newVersionForm()->downloadUrl(), QStringLiteral("http://127.0.0.1/v13.deb"));
    ASSERT_EQ(internet->count(), 1);
    EXPECT_EQ(internet->item(0)->text(), QStringLiteral("198.51.100.7"));
    EXPECT_FALSE(form.core().updates()->timer()->isActive()); // answered: no more checks
    EXPECT_TRUE(parts.dialogs.opened.empty());                // nothing is downloaded unasked
    form.newVersionForm()->hide();
}

} // namespace
} // namespace vantrel
