// Two copies of the program, each with its main window, sending to each other through their
// windows as a person would: hand-off, host typed, SEND; Accept with a save path; the
// completion panels; then a refusal with its comment.
#include "core/handoffreceiver.h"
#include "core/installation.h"
#include "core/mainunit.h"
#include "core/transferhub.h"
#include "core/transferwindows.h"
#include "receive/listener.h"
#include "receive/receivetransfer.h"
#include "receive/recvunit.h"
#include "send/sendinputs.h"
#include "send/sendtransfer.h"
#include "tests/core/mainwindowfixture.h"
#include "tests/support/enginecopy.h"
#include "tests/support/filetree.h"
#include "ui/trayicon.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextEdit>

namespace vantrel {
namespace {

using Column = TransferListModel::Column;
constexpr int TransferTimeoutMs = 60000;

QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text of a memo, whichever kind of text box it is.
QString MemoText(QWidget* memo)
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(memo))
        return plain->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(memo))
        return rich->toPlainText();
    return {};
}

bool SetMemoText(QWidget* memo, const QString& text)
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(memo)) {
        plain->setPlainText(text);
        return true;
    }
    if (auto* rich = qobject_cast<QTextEdit*>(memo)) {
        rich->setPlainText(text);
        return true;
    }
    return false;
}

class ThroughTheWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_alice.Make(/*useTray=*/true, /*install=*/true, "Alice"));
        ASSERT_TRUE(m_bob.Make(/*useTray=*/true, /*install=*/true, "Bob"));
        const auto authority = [](test::MainWindowParts& parts) {
            return parts.form->core().folder().file(installation::AuthorityFile);
        };
        ASSERT_TRUE(
            installation::TrustAuthority(m_alice.form->core().folder(), authority(m_bob)).ok);
        ASSERT_TRUE(
            installation::TrustAuthority(m_bob.form->core().folder(), authority(m_alice)).ok);
        ASSERT_TRUE(m_bob.form->core().listener()->IsListening());
        m_alice.form->show();
        m_bob.form->show();
    }

    static TransferHub& HubOf(test::MainWindowParts& parts) { return *parts.form->core().hub(); }

    // The window of the newest row of a list, once there.
    static QDialog* NewestWindow(test::MainWindowParts& parts, TransferListModel& list, int rows)
    {
        QDialog* window = nullptr;
        test::WaitUntil(
            [&] {
                if (list.rowCount() < rows || !list.IsActive(0))
                    return false;
                window = parts.form->transferWindows()->WindowOf(list.TransferAt(0));
                return window != nullptr;
            },
            TransferTimeoutMs);
        return window;
    }

    // Names of the controls a step needs that the window does not have.
    static QStringList Missing(QWidget* window, const QStringList& names)
    {
        QStringList missing;
        for (const QString& name : names)
            if (!window->findChild<QWidget*>(name))
                missing << name;
        return missing;
    }

    // Hands `path` off to Alice, types Bob's address into her send window and presses SEND;
    // returns her send window, or null with `absent` saying which control is missing.
    QDialog* SendFromAlice(const QString& path, QString& absent)
    {
        const int rows = HubOf(m_alice).uploads().rowCount() + 1;
        EXPECT_TRUE(m_alice.form->core().handOff()->HandOff(path));
        QDialog* window = NewestWindow(m_alice, HubOf(m_alice).uploads(), rows);
        if (!window) {
            ADD_FAILURE() << "no send window for " << path.toStdString();
            return nullptr;
        }
        const QStringList missing =
            Missing(window, {QStringLiteral("HostCBox"), QStringLiteral("SendBtn")});
        if (!missing.isEmpty()) {
            absent = QStringLiteral("the send window has no ") + missing.join(QStringLiteral(", "));
            return nullptr;
        }
        auto* host = window->findChild<QComboBox*>(QStringLiteral("HostCBox"));
        const QString address =
            QStringLiteral("127.0.0.1:%1").arg(m_bob.form->core().listener()->PortInUse());
        if (host && host->lineEdit()) {
            host->lineEdit()->clear();
            QTest::keyClicks(host->lineEdit(), address);
        } else if (host) {
            host->setCurrentText(address);
        }
        auto* send = window->findChild<QAbstractButton*>(QStringLiteral("SendBtn"));
        EXPECT_TRUE(send->isEnabled());
        send->click();
        return window;
    }

    // Bob's window for the next request, or null with `absent` saying what it lacks.
    QDialog* BobsRequest(int rows, const QStringList& needed, QString& absent)
    {
        QDialog* window = NewestWindow(m_bob, HubOf(m_bob).downloads(), rows);
        if (!window) {
            ADD_FAILURE() << "no receive window at Bob";
            return nullptr;
        }
        const QStringList missing = Missing(window, needed);
        if (!missing.isEmpty()) {
            absent =
                QStringLiteral("the receive window has no ") + missing.join(QStringLiteral(", "));
            return nullptr;
        }
        return window;
    }

    static bool PanelShown(QDialog* window, const QString& panel)
    {
        return test::WaitUntil(
            [&] {
                auto* shown = window->findChild<QWidget*>(panel);
                return shown && shown->isVisible();
            },
            TransferTimeoutMs);
    }

    // One offer accepted by Bob into `target`: both windows complete, both rows "Completed".
    void Deliver(const QString& source, const QString& target, QString& absent)
    {
        const int bobRows = HubOf(m_bob).downloads().rowCount() + 1;
        QDialog* sendWindow = SendFromAlice(source, absent);
        if (!sendWindow)
            return;
        QDialog* receiveWindow =
            BobsRequest(bobRows, {QStringLiteral("BitBtn1"), QStringLiteral("Panel7")}, absent);
        if (!receiveWindow)
            return;
        auto* accept = receiveWindow->findChild<QAbstractButton*>(QStringLiteral("BitBtn1"));
        EXPECT_EQ(accept->text().remove(QLatin1Char('&')), QStringLiteral("Accept"));
        m_bob.dialogs.savePaths.push_back(target);
        accept->click();

        if (Missing(sendWindow, {QStringLiteral("Panel7")}).size() == 1) {
            absent = QStringLiteral("the send window has no Panel7");
            return;
        }
        ASSERT_TRUE(PanelShown(receiveWindow, QStringLiteral("Panel7")));
        ASSERT_TRUE(PanelShown(sendWindow, QStringLiteral("Panel7")));
        EXPECT_EQ(HubOf(m_alice).uploads().Cell(HubOf(m_alice).uploads().IdAt(0), Column::Status),
                  QStringLiteral("Completed"));
        EXPECT_TRUE(test::WaitUntil([&] {
            TransferListModel& downloads = HubOf(m_bob).downloads();
            return downloads.Cell(downloads.IdAt(0), Column::Status) == QStringLiteral("Completed");
        }));
    }

    test::MainWindowParts m_alice;
    test::MainWindowParts m_bob;
    test::TempFolder m_files;
};

TEST_F(ThroughTheWindows, FileThenDirectoryArriveAndARefusalShowsItsComment)
{
    QString absent;

    // A file.
    const QByteArray bytes = RandomBytes(700000, 7);
    m_files.write(QStringLiteral("out/photo 1.jpg"), bytes);
    const QString fileTarget = m_files.file(QStringLiteral("in/photo 1.jpg"));
    QDir().mkpath(m_files.file(QStringLiteral("in")));
    Deliver(m_files.file(QStringLiteral("out/photo 1.jpg")), fileTarget, absent);
    if (!absent.isEmpty())
        FAIL() << absent.toStdString();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(ReadAll(fileTarget), bytes);

    // A directory tree.
    m_files.write(QStringLiteral("out/tree/a.txt"), QByteArrayLiteral("alpha\n"));
    m_files.write(QStringLiteral("out/tree/sub/b.bin"), RandomBytes(50000, 9));
    m_files.write(QStringLiteral("out/tree/sub/deeper/c.txt"), QByteArray(3000, 'c'));
    QDir().mkpath(m_files.file(QStringLiteral("out/tree/empty")));
    const QString treeTarget = m_files.file(QStringLiteral("in/tree"));
    Deliver(m_files.file(QStringLiteral("out/tree")), treeTarget, absent);
    if (!absent.isEmpty())
        FAIL() << absent.toStdString();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(test::TreeOf(treeTarget), test::TreeOf(m_files.file(QStringLiteral("out/tree"))));

    // A refusal with a comment.
    m_files.write(QStringLiteral("out/unwanted.txt"), QByteArrayLiteral("no thanks"));
    const int bobRows = HubOf(m_bob).downloads().rowCount() + 1;
    QDialog* sendWindow = SendFromAlice(m_files.file(QStringLiteral("out/unwanted.txt")), absent);
    if (!absent.isEmpty())
        FAIL() << absent.toStdString();
    ASSERT_NE(sendWindow, nullptr);
    QDialog* receiveWindow =
        BobsRequest(bobRows, {QStringLiteral("Memo2"), QStringLiteral("BitBtn2")}, absent);
    if (!absent.isEmpty())
        FAIL() << absent.toStdString();
    ASSERT_NE(receiveWindow, nullptr);
    const QString comment = QStringLiteral("Not today, thank you.");
    ASSERT_TRUE(SetMemoText(receiveWindow->findChild<QWidget*>(QStringLiteral("Memo2")), comment));
    auto* abort = receiveWindow->findChild<QAbstractButton*>(QStringLiteral("BitBtn2"));
    EXPECT_EQ(abort->text().remove(QLatin1Char('&')), QStringLiteral("Abort"));
    abort->click();

    if (!sendWindow->findChild<QWidget*>(QStringLiteral("RejPanel")))
        FAIL() << "the send window has no RejPanel";
    ASSERT_TRUE(PanelShown(sendWindow, QStringLiteral("RejPanel")));
    auto* rejection = sendWindow->findChild<QWidget*>(QStringLiteral("RejPanel"));
    auto* shownComment = rejection->findChild<QWidget*>(QStringLiteral("Memo2"));
    ASSERT_NE(shownComment, nullptr);
    EXPECT_EQ(MemoText(shownComment), comment);
    TransferListModel& uploads = HubOf(m_alice).uploads();
    EXPECT_EQ(uploads.Cell(uploads.IdAt(0), Column::Status), QStringLiteral("Refused"));
}

// Another copy's request reaches a main window: its receive window is there at once, beside
// the main window rather than in it, the row is live and the tray announces the request; when
// the transfer closes the window goes and the row stays.
TEST(MainWindowReceives, AnIncomingRequestOpensItsWindowAtOnce)
{
    test::MainWindowParts bob;
    ASSERT_TRUE(bob.Make(/*useTray=*/true, /*install=*/true, "Bob"));
    bob.form->show();
    test::EngineCopy alice("Alice");
    ASSERT_TRUE(alice.ok()) << alice.error().toStdString();
    ASSERT_TRUE(installation::TrustAuthority(
                    alice.folder(), bob.form->core().folder().file(installation::AuthorityFile))
                    .ok);

    test::TempFolder files;
    files.write(QStringLiteral("offer.txt"), QByteArrayLiteral("for Bob"));
    SendTransfer* send = alice.OpenSend(files.file(QStringLiteral("offer.txt")));
    SendInputs inputs;
    inputs.hostText = QStringLiteral("127.0.0.1:%1").arg(bob.form->core().listener()->PortInUse());
    send->Send(inputs);

    TransferHub& hub = *bob.form->core().hub();
    ASSERT_TRUE(test::WaitUntil([&] { return hub.downloads().rowCount() == 1; }, 20000));
    QObject* transfer = hub.downloads().TransferAt(0);
    QDialog* window = bob.form->transferWindows()->WindowOf(transfer);
    ASSERT_NE(qobject_cast<TRecForm*>(window), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(bob.form->isVisible()); // brought back from the tray
    EXPECT_TRUE(bob.form->tray()->animating());
    EXPECT_EQ(bob.form->tray()->hint(), QStringLiteral("Active Transfers: 1"));
    EXPECT_TRUE(
        hub.downloads().data(hub.downloads().index(0, 0), TransferListModel::ActiveRole).toBool());

    static_cast<ReceiveTransfer*>(transfer)->Close();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return bob.form->transferWindows()->WindowOf(transfer) == nullptr; }));
    EXPECT_EQ(hub.downloads().rowCount(), 1);
    EXPECT_FALSE(hub.downloads().IsActive(0));
    EXPECT_EQ(bob.form->tray()->hint(), QStringLiteral("Active Transfers: 0"));
}

} // namespace
} // namespace vantrel
