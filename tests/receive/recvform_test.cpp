// The receive window over a real ReceiveTransfer on a loopback TLS connection, with a scripted
// sending copy and scripted dialogs.
#include "net/tlssession.h"
#include "receive/recvunit.h"
#include "send/zipbridgeloader.h"
#include "tests/receive/receivefixture.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/gradientbar.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/statusline.h"
#include "zipbridge/zipbridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>

namespace vantrel::test {
namespace {

using State = ReceiveTransfer::State;

class RecvFormTest : public ReceiveFixture
{
protected:
    std::unique_ptr<TRecForm> Window(ReceiveTransfer& transfer)
    {
        return std::make_unique<TRecForm>(transfer, m_dialogs, nullptr);
    }

    template <typename T> static T* Find(TRecForm& form, const char* name)
    {
        T* child = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static QPushButton* Button(TRecForm& form, const char* name)
    {
        return Find<QPushButton>(form, name);
    }
    // Which of the middle area's panels show, in the order description, ResPanel, Panel6,
    // ResQPanel, Panel7.
    static std::vector<bool> Shown(TRecForm& form)
    {
        std::vector<bool> shown;
        for (const char* name : {"Memo2", "ResPanel", "Panel6", "ResQPanel", "Panel7"}) {
            QWidget* widget = Find<QWidget>(form, name);
            shown.push_back(widget && widget->isVisibleTo(&form) && widget->isEnabled());
        }
        return shown;
    }
    static QString StatusText(TRecForm& form)
    {
        return Find<StatusLine>(form, "StatusLine")->text();
    }
    static StatusLine::Kind StatusKind(TRecForm& form)
    {
        return Find<StatusLine>(form, "StatusLine")->kind();
    }

    ScriptedDialogs m_dialogs;
};

// With VANTREL_SCREENSHOT_DIR set, the window as it stands is saved there (the manual's
// pictures).
void Snapshot(QWidget& window, const char* name)
{
    const QString folder = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QCoreApplication::processEvents();
    window.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

using Panels = std::vector<bool>;

// A new request shows its fields, the description and abort reason; Accept is the default.
TEST_F(RecvFormTest, PendingRequestShowsTheRequestWithAcceptAsDefault)
{
    auto sender = Sender(Request("report.pdf", 0, 1, 2048, 1));
    auto transfer = Open(*sender);
    auto form = Window(*transfer);
    // The presentation's scatter moves the window sideways by at most 150 pixels.
    const QPoint centred = form->pos();
    int scatters = 0;
    QObject::connect(transfer.get(), &ReceiveTransfer::scatter, form.get(), [&] { ++scatters; });
    form->show();
    ASSERT_TRUE(WaitUntil([&] { return scatters == 1; }));
    EXPECT_EQ(form->pos().y(), centred.y());
    EXPECT_LE(std::abs(form->pos().x() - centred.x()), 150);

    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("New File Receive Request from 127.0.0.1 (Alice)"));
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(Find<QLineEdit>(*form, "Host")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Find<QLineEdit>(*form, "Nick")->text(), QStringLiteral("Alice"));
    EXPECT_EQ(Find<QLineEdit>(*form, "FEdit")->text(), QStringLiteral("report.pdf"));
    EXPECT_EQ(Find<QLineEdit>(*form, "LEdit2")->text(), QStringLiteral("1"));
    EXPECT_EQ(Find<QLineEdit>(*form, "LEdit3")->text(), transfer->view().totalSize);
    EXPECT_TRUE(Find<QLineEdit>(*form, "FEdit")->isReadOnly());
    EXPECT_EQ(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(),
              QStringLiteral("holiday pictures"));
    EXPECT_TRUE(Find<QPlainTextEdit>(*form, "Memo1")->isReadOnly());
    EXPECT_EQ(Find<QPlainTextEdit>(*form, "Memo2")->toPlainText(),
              QStringLiteral("Sorry but I'm busy now..."));
    EXPECT_EQ(Find<QToolButton>(*form, "SpeedButton2")->toolTip(),
              QStringLiteral("Hide this window"));

    EXPECT_EQ(Shown(*form), (Panels{true, false, false, false, false}));
    EXPECT_TRUE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_TRUE(Button(*form, "BitBtn1")->isDefault());
    Snapshot(*form, "receive-request");
    EXPECT_TRUE(Button(*form, "BitBtn2")->isEnabled());
    EXPECT_EQ(StatusText(*form), QStringLiteral("Status: New receive request"));
    EXPECT_EQ(StatusKind(*form), StatusLine::Kind::Work);

    auto* timer = Find<QTimer>(*form, "EndFXTimer");
    EXPECT_EQ(timer->interval(), 400);
    EXPECT_FALSE(timer->isActive());
}

// Escape leaves the window open; the hide button and the program's close() hide it without
// touching the transfer.
TEST_F(RecvFormTest, EscapeKeepsTheWindowAndHideLeavesTheTransferAlone)
{
    auto sender = Sender(Request("a.txt", 0, 1, 10, 1));
    auto transfer = Open(*sender);
    auto form = Window(*transfer);
    form->show();
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    form->close(); // the program's own close hides it like the hide button
    EXPECT_FALSE(form->isVisible());
    form->show();

    QTest::mouseClick(Find<QToolButton>(*form, "SpeedButton2"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(transfer->state(), State::Pending);
}

// Return on a new request accepts: the save dialog opens with the offered name, and a
// chosen path starts the transfer, which then runs to its completion panel.
TEST_F(RecvFormTest, ReturnAcceptsAndTheFileArrivesToTheCompletionPanel)
{
    const QByteArray bytes = Pattern(40000);
    auto sender = Sender(Request("photo.jpg", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    auto form = Window(*transfer);
    form->show();
    sender->Start(ScriptedSender::Stream(bytes, true));
    const QString target = m_data.file(QStringLiteral("saved.jpg"));
    m_dialogs.savePath = target;

    QTest::keyClick(form.get(), Qt::Key_Return);
    const auto saves = m_dialogs.ShownOf(QStringLiteral("save"));
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].title, QStringLiteral("Save file as"));
    EXPECT_EQ(saves[0].proposed, QStringLiteral("photo.jpg"));
    EXPECT_EQ(saves[0].filter, QStringLiteral("All Files (*)"));
    EXPECT_EQ(Find<QLineEdit>(*form, "FEdit")->text(), target);
    EXPECT_FALSE(Button(*form, "BitBtn1")->isEnabled());

    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_EQ(ReadAll(target), bytes);
    EXPECT_EQ(Shown(*form), (Panels{false, false, false, false, true}));
    EXPECT_FALSE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_FALSE(Button(*form, "BitBtn2")->isEnabled());
    EXPECT_TRUE(Button(*form, "DoneBtn")->isDefault());
    EXPECT_FALSE(Button(*form, "BitBtn1")->isDefault());
    EXPECT_EQ(Button(*form, "OpenBtn")->text(), QStringLiteral("Open File"));
    EXPECT_EQ(StatusText(*form), QStringLiteral("Status: Completed"));
    EXPECT_EQ(StatusKind(*form), StatusLine::Kind::Done);

    // The banner blinks by swapping its colours every 400 ms.
    auto* banner = Find<GradientBar>(*form, "EndBanner");
    EXPECT_EQ(banner->text(), QStringLiteral("Download Completed"));
    const QColor from = banner->fromColor();
    EXPECT_TRUE(Find<QTimer>(*form, "EndFXTimer")->isActive());
    ASSERT_TRUE(WaitUntil([&] { return banner->fromColor() != from; }, 2000));

    QTest::mouseClick(Button(*form, "DoneBtn"), Qt::LeftButton);
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_FALSE(Find<QTimer>(*form, "EndFXTimer")->isActive());
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
    EXPECT_TRUE(m_dialogs.opened.empty());
}

// While the data flows the progress panel shows, with Abort still possible.
TEST_F(RecvFormTest, ProgressPanelWhileReceiving)
{
    const QByteArray bytes = Pattern(256 * 1024);
    auto sender = Sender(Request("big.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    transfer->SetBandLimit(4); // holds the worker after its first window
    auto form = Window(*transfer);
    form->show();
    sender->Start(ScriptedSender::Stream(bytes, true));
    m_dialogs.savePath = m_data.file(QStringLiteral("big.bin"));
    QTest::mouseClick(Button(*form, "BitBtn1"), Qt::LeftButton);
    ASSERT_TRUE(WaitForState(*transfer, State::Receiving));

    EXPECT_EQ(Shown(*form), (Panels{false, false, true, false, false}));
    Snapshot(*form, "receive-progress");
    EXPECT_FALSE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_TRUE(Button(*form, "BitBtn2")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(*form, "Operation")->text(), QStringLiteral("Receiving data..."));
    EXPECT_EQ(Find<QLineEdit>(*form, "SSLCiph")->text(), transfer->view().cipher);
    EXPECT_NE(transfer->view().cipher, QStringLiteral("N/A"));
    EXPECT_EQ(Find<QLineEdit>(*form, "AutoCompression")->toolTip(),
              QStringLiteral("Auto-Compression is Disabled"));
    auto* bar = Find<GradientProgressBar>(*form, "ProgressBar1");
    EXPECT_EQ(bar->maximum(), bytes.size());
    EXPECT_EQ(StatusText(*form), QStringLiteral("Status: Receiving data"));
    int bandLimitRequests = 0;
    QObject::connect(form.get(), &TRecForm::bandLimitRequested, form.get(),
                     [&] { ++bandLimitRequests; });
    QTest::mouseClick(Find<QToolButton>(*form, "SpeedButton1"), Qt::LeftButton);
    EXPECT_EQ(bandLimitRequests, 1);

    // Abort in the data phase: the interruption panel with the "aborted" text.
    QTest::mouseClick(Button(*form, "BitBtn2"), Qt::LeftButton);
    EXPECT_EQ(Shown(*form), (Panels{false, false, false, true, false}));
    EXPECT_EQ(Find<QLabel>(*form, "ResQLabel")->text(),
              QStringLiteral("You have aborted this download"));
    Snapshot(*form, "receive-aborted");
    EXPECT_EQ(StatusKind(*form), StatusLine::Kind::Failure);
    QTest::mouseClick(Button(*form, "DeleteDataBtn"), Qt::LeftButton);
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_FALSE(QFileInfo::exists(m_dialogs.savePath));
}

// A cancelled save dialog leaves the request as it was, unanswered.
TEST_F(RecvFormTest, CancelledSaveDialogChangesNothing)
{
    auto sender = Sender(Request("a.txt", 0, 1, 10, 1));
    auto transfer = Open(*sender);
    auto form = Window(*transfer);
    form->show();
    int answers = 0;
    QObject::connect(transfer.get(), &ReceiveTransfer::answered, form.get(), [&] { ++answers; });
    m_dialogs.savePath.clear();
    QTest::mouseClick(Button(*form, "BitBtn1"), Qt::LeftButton);
    EXPECT_EQ(m_dialogs.ShownOf(QStringLiteral("save")).size(), 1u);
    EXPECT_EQ(answers, 0);
    EXPECT_EQ(transfer->state(), State::Pending);
    EXPECT_TRUE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_EQ(Shown(*form), (Panels{true, false, false, false, false}));
    EXPECT_EQ(Find<QLineEdit>(*form, "FEdit")->text(), QStringLiteral("a.txt"));
}

// Abort on a new request sends the typed abort reason as the refusal's comment.
TEST_F(RecvFormTest, AbortSendsTheAbortReasonAsTheRefusalComment)
{
    auto sender = Sender(Request("a.txt", 0, 1, 10, 1));
    auto transfer = Open(*sender);
    sender->Start([](TlsSession& session, ScriptedSender& s) { s.ReadReply(session); });
    auto form = Window(*transfer);
    form->show();
    auto* memo = Find<QPlainTextEdit>(*form, "Memo2");
    memo->setPlainText(QString::fromUtf8("Nicht jetzt, später"));
    QTest::mouseClick(Button(*form, "BitBtn2"), Qt::LeftButton);
    sender->Join();
    ASSERT_EQ(sender->replies.size(), 1u);
    EXPECT_FALSE(sender->replies[0].IsAccepted());
    EXPECT_EQ(sender->replies[0].comment, QByteArray("Nicht jetzt, sp\xc3\xa4ter"));
    EXPECT_EQ(transfer->state(), State::Closed);
}

// A partial copy at the chosen path asks resume or overwrite over the request; Resume
// continues from where the copy ends.
TEST_F(RecvFormTest, ResumeQuestionThenResume)
{
    const QByteArray bytes = Pattern(20000);
    const QString target = m_data.file(QStringLiteral("part.bin"));
    {
        QFile partial(target);
        ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
        partial.write(bytes.left(7000));
    }
    auto sender = Sender(Request("part.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(bytes, true));
    auto form = Window(*transfer);
    form->show();
    m_dialogs.savePath = target;
    QTest::mouseClick(Button(*form, "BitBtn1"), Qt::LeftButton);

    ASSERT_EQ(transfer->state(), State::ResumeQuestion);
    EXPECT_EQ(Shown(*form), (Panels{true, true, false, false, false}));
    Snapshot(*form, "receive-resume-question");
    EXPECT_FALSE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_TRUE(Button(*form, "BitBtn2")->isEnabled());
    EXPECT_TRUE(Button(*form, "ResumeBtn")->isDefault());
    EXPECT_FALSE(Button(*form, "BitBtn1")->isDefault());

    QTest::mouseClick(Button(*form, "ResumeBtn"), Qt::LeftButton);
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    sender->Join();
    EXPECT_EQ(sender->replies.at(0).resumeOffset, 7000u);
    EXPECT_EQ(ReadAll(target), bytes);
}

// A broken connection shows the interruption panel with "Save for later Resume" default;
// it keeps the partial copy and closes.
TEST_F(RecvFormTest, BrokenConnectionShowsTheInterruptionPanel)
{
    const QByteArray bytes = Pattern(600000);
    auto sender = Sender(Request("cut.bin", 0, 1, static_cast<std::uint32_t>(bytes.size()), 1));
    auto transfer = Open(*sender);
    sender->Start(ScriptedSender::Stream(bytes, true, 300000));
    auto form = Window(*transfer);
    form->show();
    const QString target = m_data.file(QStringLiteral("cut.bin"));
    m_dialogs.savePath = target;
    QTest::mouseClick(Button(*form, "BitBtn1"), Qt::LeftButton);
    ASSERT_TRUE(WaitForState(*transfer, State::Interrupted));

    EXPECT_EQ(Shown(*form), (Panels{false, false, false, true, false}));
    EXPECT_EQ(Find<QLabel>(*form, "ResQLabel")->text(),
              QStringLiteral("A connection error has occurred!"));
    Snapshot(*form, "receive-interrupted");
    EXPECT_FALSE(Button(*form, "BitBtn1")->isEnabled());
    EXPECT_FALSE(Button(*form, "BitBtn2")->isEnabled());
    EXPECT_TRUE(Button(*form, "SaveLaterBtn")->isDefault());
    EXPECT_EQ(StatusText(*form), QStringLiteral("Status: Connection Error"));
    EXPECT_EQ(StatusKind(*form), StatusLine::Kind::Failure);
    EXPECT_TRUE(m_dialogs.ShownOf(QStringLiteral("message")).empty());

    QTest::keyClick(form.get(), Qt::Key_Return);
    EXPECT_EQ(transfer->state(), State::Closed);
    EXPECT_EQ(ReadAll(target), bytes.left(300000));
}

// A sender that goes away before its data header ends the transfer with a critical box.
TEST_F(RecvFormTest, MissingDataShowsACriticalSocketErrorBox)
{
    auto sender = Sender(Request("a.bin", 0, 1, 100, 1));
    auto transfer = Open(*sender);
    sender->Start([](TlsSession& session, ScriptedSender& s) { s.ReadReply(session); });
    auto form = Window(*transfer);
    form->show();
    m_dialogs.savePath = m_data.file(QStringLiteral("a.bin"));
    QTest::mouseClick(Button(*form, "BitBtn1"), Qt::LeftButton);
    ASSERT_TRUE(WaitForState(*transfer, State::Closed));
    const auto messages = m_dialogs.ShownOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(messages[0].title, QStringLiteral("Socket Error"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Connection Error"));
    EXPECT_EQ(StatusKind(*form), StatusLine::Kind::Failure);
}

// A window created hidden and shown after its transfer moved on shows where it stands; the
// completion brings a hidden window back. A received directory offers "Open Directory", and
// "Open Parent Dir" opens the folder that holds it.
TEST_F(RecvFormTest, HiddenWindowCatchesUpAndOpenParentDirOpensTheContainingFolder)
{
    m_data.write(QStringLiteral("album/inner/one.txt"), Pattern(3000));
    const QByteArray root = QFile::encodeName(m_data.file(QStringLiteral("album")));
    std::uint64_t total = 0;
    std::uint32_t dirs = 0, count = 0;
    ASSERT_EQ(m_services.zip->FolderProperties(root.constData(), &total, &dirs, &count), ZB_OK);
    const QByteArray archive = ZipFolder(m_data.file(QStringLiteral("album")));
    ASSERT_FALSE(archive.isEmpty());
    auto sender = Sender(Request("album", dirs, count, static_cast<std::uint32_t>(total), 0));
    auto transfer = Open(*sender);
    auto form = Window(*transfer);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Find<QLineEdit>(*form, "FEdit")->text(), QStringLiteral("album"));

    sender->Start(ScriptedSender::Stream(archive, false));
    const QString into = m_data.file(QStringLiteral("received"));
    QDir().mkpath(into);
    m_dialogs.savePath = into + QStringLiteral("/album");
    QMetaObject::invokeMethod(Button(*form, "BitBtn1"), &QPushButton::click);
    const auto saves = m_dialogs.ShownOf(QStringLiteral("save"));
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].title, QStringLiteral("Save directory as"));
    EXPECT_EQ(saves[0].filter, QStringLiteral("Directory (*.)"));
    ASSERT_TRUE(WaitForState(*transfer, State::Completed));
    EXPECT_TRUE(form->isVisible()); // brought to the front by the completion
    form->hide();
    form->show();
    EXPECT_EQ(Shown(*form), (Panels{false, false, false, false, true}));
    EXPECT_TRUE(Button(*form, "DoneBtn")->isDefault());
    EXPECT_TRUE(Find<QTimer>(*form, "EndFXTimer")->isActive());
    EXPECT_EQ(Button(*form, "OpenBtn")->text(), QStringLiteral("Open Directory"));
    Snapshot(*form, "receive-completed");
    EXPECT_TRUE(QFileInfo(into + QStringLiteral("/album/inner/one.txt")).isFile());

    QTest::mouseClick(Button(*form, "OpenParentBtn"), Qt::LeftButton);
    ASSERT_EQ(m_dialogs.opened.size(), 1u);
    EXPECT_EQ(m_dialogs.opened[0], QUrl::fromLocalFile(into));
    EXPECT_EQ(transfer->state(), State::Closed);
}

} // namespace
} // namespace vantrel::test
