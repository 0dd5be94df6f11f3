// The send window over a real SendTransfer, against a scripted receiver on loopback TLS.
#include "net/certificates.h"
#include "send/sendunit.h"
#include "tests/send/sendfixture.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testcertificates.h"
#include "widgets/gradientbar.h"
#include "widgets/gradientprogressbar.h"
#include "widgets/lampbuttons.h"
#include "widgets/statusline.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace vantrel::test {
namespace {

using State = SendTransfer::State;

const char* const Panels[] = {"Panel2", "Panel6", "Panel7", "SErrPanel", "RejPanel", "TrustPanel"};

class SendFormTest : public SendFixture
{
protected:
    void TearDown() override
    {
        m_form.reset(); // the window before the transfer it shows
        m_transfer.reset();
    }

    // A window for `path` as the main window opens it: transfer, row, window, shown.
    void OpenForm(const QString& path)
    {
        const RowRef row{&m_uploads, m_uploads.InsertTop(nullptr, QStringLiteral("N/A"))};
        m_rowId = row.id;
        m_transfer = std::make_unique<SendTransfer>(m_services, path, row);
        m_uploads.Attach(row.id, m_transfer.get());
        m_form = std::make_unique<TSendForm>(*m_transfer, m_dialogs);
        m_form->show();
    }

    template <typename T = QWidget> T* Child(const char* name) const
    {
        T* child = m_form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QString Text(const char* name) const { return Child<QLineEdit>(name)->text(); }

    // The one middle panel that is shown.
    QString VisiblePanel() const
    {
        QStringList visible;
        for (const char* name : Panels)
            if (Child(name)->isVisible())
                visible << QString::fromLatin1(name);
        return visible.join(QLatin1Char(','));
    }

    // Every caption and button in view has the room its text needs (also run at
    // QT_SCALE_FACTOR=2); the status line elides by design.
    void ExpectNothingClipped() const
    {
        QCoreApplication::processEvents();
        for (QWidget* widget : m_form->findChildren<QWidget*>()) {
            if (!widget->isVisible() || qobject_cast<StatusLine*>(widget))
                continue;
            if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget) &&
                !qobject_cast<GradientBar*>(widget))
                continue;
            const QSize need = widget->minimumSizeHint();
            EXPECT_GE(widget->width(), need.width()) << widget->objectName().toStdString();
            EXPECT_GE(widget->height(), need.height()) << widget->objectName().toStdString();
        }
    }

    void TypeHostAndSend(const ScriptedReceiver& receiver)
    {
        auto* host = Child<QComboBox>("HostCBox");
        QTest::keyClicks(host->lineEdit(), receiver.hostText());
        QTest::keyClick(host->lineEdit(), Qt::Key_Return);
    }

    bool WaitFor(State state) { return WaitForState(*m_transfer, state); }
    // The refusal panel follows the refused state a moment later.
    bool WaitForRefusalPanel()
    {
        return WaitUntil([&] { return m_transfer->view().panel == SendView::Panel::Refused; });
    }

    ScriptedDialogs m_dialogs;
    std::unique_ptr<SendTransfer> m_transfer;
    std::unique_ptr<TSendForm> m_form;
    TransferListModel::RowId m_rowId{};
};

TEST_F(SendFormTest, FileOpensOnTheRequestPanelReadyToSend)
{
    const QString path = Source(QStringLiteral("notes.txt"), TextBytes(3000));
    OpenForm(path);

    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("New Send Request"));
    EXPECT_FALSE(m_form->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(m_form->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(Child<QLabel>("FEditLabel")->text(), QStringLiteral("File to Send"));
    EXPECT_EQ(Text("FEdit"), path);
    EXPECT_EQ(Text("LEdit1"), QStringLiteral("0"));
    EXPECT_EQ(Text("LEdit2"), QStringLiteral("1"));
    EXPECT_FALSE(Text("LEdit3").isEmpty());
    EXPECT_TRUE(Child<QLineEdit>("FEdit")->isReadOnly());

    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
    EXPECT_TRUE(Child<QRadioButton>("RBDirect")->isChecked());
    EXPECT_FALSE(Child<QRadioButton>("RBTunnel")->isEnabled());
    EXPECT_EQ(Child<QComboBox>("TunCBox")->count(), 0);
    EXPECT_TRUE(Child<QComboBox>("HostCBox")->isEditable());
    EXPECT_FALSE(Child<QComboBox>("TunCBox")->isEditable());
    EXPECT_EQ(Child("HostCBox")->toolTip(), QStringLiteral("Enter Host or IP Address [:port]"));
    EXPECT_EQ(m_form->focusWidget(), Child("HostCBox"))
        << "a hand-off opens with the focus in the host field";

    auto* doZip = Child<LampCheckBox>("DoZip");
    EXPECT_TRUE(doZip->isChecked());
    EXPECT_TRUE(doZip->isEnabled());
    EXPECT_EQ(doZip->text(), QStringLiteral("Auto-Compression Enabled"));
    EXPECT_EQ(doZip->lampColor(), QColor(0, 0xFF, 0));
    EXPECT_EQ(doZip->toolTip(), QStringLiteral("Toggle Auto-Compression"));

    auto* send = Child<QPushButton>("SendBtn");
    EXPECT_EQ(send->text(), QStringLiteral("SEND"));
    EXPECT_TRUE(send->isDefault());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("BitBtn2")->isEnabled());
    auto* status = Child<StatusLine>("StatusBar");
    EXPECT_EQ(status->text(), QStringLiteral("Status: Idle"));
    EXPECT_EQ(status->kind(), StatusLine::Kind::Work);

    for (const char* field : {"Operation", "DataT", "Speed", "TLeft", "SSLCiph", "AutoCompression"})
        EXPECT_TRUE(Child<QLineEdit>(field)->isReadOnly()) << field;
    EXPECT_EQ(Text("DataT"), QStringLiteral("N/A"));
    EXPECT_EQ(Text("Operation"), QStringLiteral("Compression in progress..."));
    EXPECT_EQ(Child("AutoCompression")->toolTip(), QStringLiteral("Auto-Compression is Disabled"));
    ExpectNothingClipped();
}

TEST_F(SendFormTest, DirectoryShowsItsTotalsAndALitLockedCompressionLamp)
{
    Source(QStringLiteral("tree/a.txt"), TextBytes(100));
    Source(QStringLiteral("tree/sub/b.txt"), TextBytes(200));
    OpenForm(m_data.file(QStringLiteral("tree")));

    EXPECT_EQ(Child<QLabel>("FEditLabel")->text(), QStringLiteral("Directory to Send"));
    EXPECT_EQ(Text("LEdit2"), QStringLiteral("2"));
    auto* doZip = Child<LampCheckBox>("DoZip");
    EXPECT_TRUE(doZip->isChecked());
    EXPECT_FALSE(doZip->isEnabled());
    EXPECT_EQ(doZip->lampColor(), QColor(0, 0xFF, 0));
    QTest::mouseClick(doZip, Qt::LeftButton);
    EXPECT_TRUE(m_transfer->view().compressionOn);
}

TEST_F(SendFormTest, CompressionLampFollowsTheToggle)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto* doZip = Child<LampCheckBox>("DoZip");

    doZip->click();
    EXPECT_FALSE(m_transfer->view().compressionOn);
    EXPECT_FALSE(doZip->isChecked());
    EXPECT_EQ(doZip->text(), QStringLiteral("Auto-Compression Disabled"));
    EXPECT_EQ(doZip->lampColor(), QColor(Qt::red));

    doZip->click();
    EXPECT_TRUE(m_transfer->view().compressionOn);
    EXPECT_EQ(doZip->text(), QStringLiteral("Auto-Compression Enabled"));
}

TEST_F(SendFormTest, ReturnInTheHostFieldSendsAndTheWindowFollowsToCompletion)
{
    const QByteArray bytes = RandomBytes(20000, 5);
    OpenForm(Source(QStringLiteral("photo.bin"), bytes));
    Child<LampCheckBox>("DoZip")->click(); // raw: the stream is the file itself
    m_transfer->SetBandLimit(1);           // slow enough to watch the progress panel
    auto receiver = Receiver();
    QSignalSpy bandLimit(m_form.get(), &TSendForm::bandLimitRequested);

    Child<QPlainTextEdit>("Memo1")->setPlainText(QStringLiteral("holiday pictures"));
    TypeHostAndSend(*receiver);
    EXPECT_FALSE(Child("SendBtn")->isEnabled());
    EXPECT_FALSE(Child("DoZip")->isEnabled()) << "compression is fixed from the first SEND on";

    ASSERT_TRUE(WaitFor(State::Streaming)) << m_transfer->view().statusText.toStdString();
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel6"));
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Sending File to Bob"));
    EXPECT_EQ(Text("Operation"), QStringLiteral("Sending data ..."));
    EXPECT_NE(Text("SSLCiph"), QStringLiteral("N/A"));
    auto* bar = Child<GradientProgressBar>("ProgressBar1");
    EXPECT_EQ(bar->fromColor(), QColor(0, 0x80, 0));
    EXPECT_EQ(bar->toColor(), QColor(0, 0xFF, 0));
    EXPECT_TRUE(Child("BitBtn2")->isEnabled());
    ExpectNothingClipped();
    // The host field left with its panel; Return now reaches no enabled button.
    QWidget* focus = m_form->focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus->isVisible()) << focus->objectName().toStdString();
    QTest::keyClick(focus, Qt::Key_Return);
    EXPECT_EQ(m_transfer->state(), State::Streaming) << focus->objectName().toStdString();
    Child<QToolButton>("SpeedButton1")->click();
    EXPECT_EQ(bandLimit.count(), 1);

    // Hidden, the window keeps sending and comes back with the result.
    Child<QToolButton>("SpeedButton2")->click();
    EXPECT_FALSE(m_form->isVisible());
    m_transfer->SetBandLimit(0);
    ASSERT_TRUE(WaitFor(State::Completed)) << m_transfer->view().statusText.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return receiver->finished(); }));
    EXPECT_EQ(receiver->data(), bytes);
    EXPECT_EQ(QString::fromUtf8(receiver->request()->comment), QStringLiteral("holiday pictures"));
    EXPECT_TRUE(m_form->isVisible());

    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel7"));
    EXPECT_EQ(Child<StatusLine>("StatusBar")->kind(), StatusLine::Kind::Done);
    EXPECT_FALSE(Child("SendBtn")->isEnabled());
    EXPECT_FALSE(Child("BitBtn2")->isEnabled());
    ExpectNothingClipped();
    auto* banner = Child<GradientBar>("UploadBanner");
    EXPECT_EQ(banner->text(), QStringLiteral("Upload Completed"));
    auto* blink = Child<QTimer>("EndFXTimer");
    EXPECT_TRUE(blink->isActive());
    EXPECT_EQ(blink->interval(), 400);
    const QColor first = banner->fromColor();
    ASSERT_TRUE(WaitUntil([&] { return banner->fromColor() != first; }, 2000)) << "it blinks";

    // Escape does nothing while the bottom Abort is disabled.
    QTest::keyClick(m_form.get(), Qt::Key_Escape);
    EXPECT_EQ(m_transfer->state(), State::Completed);

    Child<QPushButton>("BitBtn3")->click(); // Done
    EXPECT_FALSE(blink->isActive());
    EXPECT_EQ(m_transfer->state(), State::Closed);
    EXPECT_EQ(m_hub.closed.size(), 0u) << "the hub hears of it through its hand-over";
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
    EXPECT_FALSE(m_form->isVisible());
}

TEST_F(SendFormTest, SendAgainAfterCompletionReturnsToTheRequestPanel)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto receiver = Receiver();
    TypeHostAndSend(*receiver);
    ASSERT_TRUE(WaitFor(State::Completed)) << m_transfer->view().statusText.toStdString();

    Child<QPushButton>("BitBtn4")->click();
    EXPECT_FALSE(Child<QTimer>("EndFXTimer")->isActive());
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
    EXPECT_TRUE(Child("SendBtn")->isEnabled());
    EXPECT_TRUE(Child("BitBtn2")->isEnabled());
    EXPECT_EQ(Child<QComboBox>("HostCBox")->currentText(), receiver->hostText())
        << "the host stays for the next try";
}

TEST_F(SendFormTest, RefusalShowsTheCommentAndItsButtons)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    ScriptedReceiver::Script script;
    script.answer = ScriptedReceiver::Answer::Refuse;
    script.nickName = QByteArrayLiteral("Carol");
    script.comment = QByteArrayLiteral("Not today, thanks");
    auto receiver = Receiver(script);
    TypeHostAndSend(*receiver);
    ASSERT_TRUE(WaitForRefusalPanel()) << m_transfer->view().statusText.toStdString();

    EXPECT_EQ(VisiblePanel(), QStringLiteral("RejPanel"));
    EXPECT_EQ(Child<QLabel>("Label4")->text(), QStringLiteral("Comment from Carol"));
    EXPECT_EQ(Child<QPlainTextEdit>("Memo2")->toPlainText(), QStringLiteral("Not today, thanks"));
    EXPECT_TRUE(Child<QPlainTextEdit>("Memo2")->isReadOnly());
    EXPECT_EQ(Child<StatusLine>("StatusBar")->kind(), StatusLine::Kind::Failure);
    EXPECT_EQ(Child<StatusLine>("StatusBar")->text(),
              QStringLiteral("Status: Carol has refused your request"));
    EXPECT_FALSE(Child("SendBtn")->isEnabled());
    EXPECT_FALSE(Child("BitBtn2")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("BitBtn1")->text(), QStringLiteral("Send Again"));
    ExpectNothingClipped();

    Child<QPushButton>("BitBtn1")->click();
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
    EXPECT_TRUE(Child("SendBtn")->isEnabled());

    // Refused again, then Abort from the refusal panel closes.
    auto again = Receiver(script);
    auto* host = Child<QComboBox>("HostCBox");
    host->setEditText(again->hostText());
    Child<QPushButton>("SendBtn")->click();
    ASSERT_TRUE(WaitForRefusalPanel());
    Child<QPushButton>("BitBtn5")->click();
    EXPECT_EQ(m_transfer->state(), State::Closed);
    EXPECT_EQ(m_uploads.Cell(m_rowId, TransferListModel::Status), QStringLiteral("Refused"));
}

TEST_F(SendFormTest, ConnectionErrorOffersSendAgainAndAbort)
{
    OpenForm(Source(QStringLiteral("short.bin"), RandomBytes(500)));
    Child<LampCheckBox>("DoZip")->click();
    ScriptedReceiver::Script script;
    script.resumeOffset = 501; // more than there is: the data phase cannot go on
    auto receiver = Receiver(script);
    TypeHostAndSend(*receiver);
    ASSERT_TRUE(WaitFor(State::Broken)) << m_transfer->view().statusText.toStdString();

    EXPECT_EQ(VisiblePanel(), QStringLiteral("SErrPanel"));
    EXPECT_EQ(Child<StatusLine>("StatusBar")->kind(), StatusLine::Kind::Failure);
    EXPECT_FALSE(Child("SendBtn")->isEnabled());
    EXPECT_FALSE(Child("BitBtn2")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("BitBtn8")->text(), QStringLiteral("Send Again"));
    ExpectNothingClipped();

    Child<QPushButton>("BitBtn9")->click();
    EXPECT_EQ(m_transfer->state(), State::Closed);
    EXPECT_EQ(m_uploads.Cell(m_rowId, TransferListModel::Status),
              QStringLiteral("Connection error"));
}

// A receiver whose authority this profile does not trust, presenting that authority: the
// window names it and trusts it only on the button that says so.
TEST_F(SendFormTest, UntrustedReceiverIsOfferedAndTrustedOnlyOnConfirmation)
{
    const certificates::PemPair carol =
        testcertificates::NewAuthority(QStringLiteral("Carol's computer"));
    ASSERT_TRUE(testcertificates::WriteServerFiles(m_peer.path(), carol));
    QFile chain(m_peer.file(QStringLiteral("servercert.pem")));
    ASSERT_TRUE(chain.open(QIODevice::Append));
    chain.write(carol.certificatePem);
    chain.close();
    const QString listFile = m_profile.file(QStringLiteral("clientcalist.pem"));
    const auto list = [&] {
        QFile file(listFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = list();
    const auto offered = [&] {
        return WaitUntil([&] { return m_transfer->view().panel == SendView::Panel::Trust; });
    };

    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto first = Receiver();
    TypeHostAndSend(*first);
    ASSERT_TRUE(offered()) << m_transfer->view().statusText.toStdString();
    EXPECT_EQ(VisiblePanel(), QStringLiteral("TrustPanel"));
    EXPECT_EQ(Child<StatusLine>("StatusBar")->kind(), StatusLine::Kind::Failure);
    EXPECT_TRUE(Child<QLabel>("TrustName")->text().contains(QStringLiteral("Carol's computer")));
    EXPECT_EQ(Child<QPlainTextEdit>("TrustFingerprint")->toPlainText(),
              certificates::ReadableFingerprint(carol.certificatePem));
    EXPECT_TRUE(Child("TrustButton")->isVisible());
    EXPECT_TRUE(Child("DeclineButton")->hasFocus());
    ExpectNothingClipped();

    Child<QPushButton>("DeclineButton")->click();
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
    EXPECT_EQ(list(), before);

    auto second = Receiver();
    Child<QComboBox>("HostCBox")->setEditText(second->hostText());
    Child<QPushButton>("SendBtn")->click();
    ASSERT_TRUE(offered());
    Child<QPushButton>("TrustButton")->click();
    EXPECT_EQ(list(), before + carol.certificatePem);
    // And the send is tried again at once, as SEND would.
    EXPECT_EQ(m_transfer->state(), State::Connecting);
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
}

// A receiver presenting only its own certificate: shown, explained, never trusted.
TEST_F(SendFormTest, ReceiverWithoutAuthorityIsExplainedAndNotOffered)
{
    const certificates::PemPair carol = testcertificates::NewAuthority(QStringLiteral("Carol"));
    ASSERT_TRUE(testcertificates::WriteServerFiles(m_peer.path(), carol));
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto receiver = Receiver();
    TypeHostAndSend(*receiver);
    ASSERT_TRUE(WaitUntil([&] { return m_transfer->view().panel == SendView::Panel::Trust; }));
    EXPECT_FALSE(Child("TrustButton")->isVisible());
    EXPECT_EQ(Child<QPushButton>("DeclineButton")->text(), QStringLiteral("Back"));
    EXPECT_TRUE(Child<QLabel>("TrustText")->text().contains(QStringLiteral("--trust FILE")));
    ExpectNothingClipped();
    Child<QPushButton>("DeclineButton")->click();
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
}

TEST_F(SendFormTest, EscapeAbortsAndCloses)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    QTest::keyClick(m_form.get(), Qt::Key_Escape);

    EXPECT_EQ(m_transfer->state(), State::Closed);
    EXPECT_EQ(m_uploads.Cell(m_rowId, TransferListModel::Status), QStringLiteral("Aborted"));
    EXPECT_FALSE(m_form->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return m_hub.closed.size() == 1; }));
}

TEST_F(SendFormTest, TitleBarCloseIsIgnored)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    EXPECT_FALSE(m_form->close());
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_EQ(m_transfer->state(), State::Preparing);
}

TEST_F(SendFormTest, ClearListEmptiesTheHostsButKeepsTheTypedText)
{
    m_recent->AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("Bob"));
    m_recent->AddRecentHost(QStringLiteral("pc2"), 9000, QStringLiteral("Ann"));
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto* host = Child<QComboBox>("HostCBox");
    ASSERT_EQ(host->count(), 2);
    EXPECT_EQ(host->itemText(0), QStringLiteral("pc2:9000 (Ann)"));
    EXPECT_TRUE(host->currentText().isEmpty());

    host->setEditText(QStringLiteral("pc3"));
    auto* menu = Child<QMenu>("HostMenu");
    auto* clear = Child<QAction>("ClearList");
    EXPECT_EQ(menu->defaultAction(), clear);
    EXPECT_EQ(clear->text(), QStringLiteral("Clear List"));
    clear->trigger();

    EXPECT_EQ(host->count(), 0);
    EXPECT_EQ(host->currentText(), QStringLiteral("pc3"));
    EXPECT_TRUE(m_recent->LoadRecentHosts().isEmpty());
}

TEST_F(SendFormTest, HostListDropsDownWhileTyping)
{
    m_recent->AddRecentHost(QStringLiteral("pc1"), 12666, QStringLiteral("Bob"));
    m_recent->AddRecentHost(QStringLiteral("laptop"), 12666, QStringLiteral("Ann"));
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto* host = Child<QComboBox>("HostCBox");
    QTest::keyClicks(host->lineEdit(), QStringLiteral("pc"));
    QAbstractItemView* popup = host->completer()->popup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(host->completer()->completionCount(), 1);
    EXPECT_EQ(host->completer()->currentCompletion(), QStringLiteral("pc1 (Bob)"));

    // Escape closes the list, not the window.
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(m_transfer->state(), State::Preparing);
    EXPECT_EQ(host->currentText(), QStringLiteral("pc"));
}

TEST_F(SendFormTest, TunnelSendNeedsChoices)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    auto* tunnel = Child<QRadioButton>("RBTunnel");
    auto* choicesBox = Child<QComboBox>("TunCBox");
    auto* refresh = Child<QAction>("RefreshActiveTunnels");
    EXPECT_EQ(Child<QMenu>("TunnelMenu")->defaultAction(), refresh);
    EXPECT_EQ(refresh->text(), QStringLiteral("Refresh Active Tunnels"));

    QStringList offered;
    int asked = 0;
    m_form->SetTunnelChoices([&] {
        ++asked;
        return offered;
    });
    EXPECT_EQ(asked, 1) << "the choices are filled when they are given";

    const struct
    {
        QStringList offered;
        bool enabled;
        QString selected;
    } cases[] = {
        {{}, false, {}},
        {{QStringLiteral("pc1 (Bob)"), QStringLiteral("pc2 (Ann)")},
         true,
         QStringLiteral("pc1 (Bob)")},
        {{}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offered.join(QLatin1Char(',')).toStdString());
        offered = c.offered;
        refresh->trigger();
        EXPECT_EQ(tunnel->isEnabled(), c.enabled);
        EXPECT_EQ(choicesBox->count(), c.offered.size());
        EXPECT_EQ(choicesBox->currentText(), c.selected);
        if (c.enabled)
            tunnel->setChecked(true);
        else
            EXPECT_TRUE(Child<QRadioButton>("RBDirect")->isChecked())
                << "without tunnels the choice falls back to a direct send";
    }

    // The transfer asks for a refresh itself when a tunnel closed under it.
    offered = {QStringLiteral("pc9 (Eve)")};
    emit m_transfer->refreshTunnelChoices();
    EXPECT_EQ(choicesBox->currentText(), QStringLiteral("pc9 (Eve)"));

    // Without a choices function there are never any.
    m_form->SetTunnelChoices({});
    EXPECT_FALSE(tunnel->isEnabled());
    EXPECT_EQ(choicesBox->count(), 0);
}

TEST_F(SendFormTest, TunnelThatIsGoneLeavesTheRequestPanelReady)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    m_form->SetTunnelChoices([] { return QStringList{QStringLiteral("pc1 (Bob)")}; });
    Child<QRadioButton>("RBTunnel")->setChecked(true);
    Child<QPushButton>("SendBtn")->click();

    EXPECT_EQ(Child<StatusLine>("StatusBar")->text(), QStringLiteral("Status: Tunnel Closed "));
    EXPECT_EQ(Child<StatusLine>("StatusBar")->kind(), StatusLine::Kind::Failure);
    EXPECT_EQ(VisiblePanel(), QStringLiteral("Panel2"));
    EXPECT_TRUE(Child("SendBtn")->isEnabled());
}

TEST_F(SendFormTest, MissingPathIsReportedThroughTheDialogs)
{
    OpenForm(m_data.file(QStringLiteral("gone.txt")));

    const auto messages = m_dialogs.ShownOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("Init Error!"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Unable to Find that Path"));
    EXPECT_EQ(m_transfer->state(), State::Closed);
}

TEST_F(SendFormTest, DynamicDnsQuestionAddsToTheBookOnlyOnYes)
{
    OpenForm(Source(QStringLiteral("notes.txt"), TextBytes(3000)));
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        m_dialogs.answer = yes;
        m_dialogs.shown.clear();
        emit m_transfer->dynDnsDetected(QStringLiteral("home.example.net"),
                                        QStringLiteral("10.1.2.3"));
        const auto questions = m_dialogs.ShownOf(QStringLiteral("question"));
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].title, QStringLiteral("Dynamic DNS Host Detected"));
        EXPECT_EQ(questions[0].text,
                  QStringLiteral("This host seems to be a Dynamic DNS,\nWould you like to put it "
                                 "in Dynamic DNS Address Book?\nhome.example.net - 10.1.2.3"));
        EXPECT_EQ(m_book.ContainsHost(QStringLiteral("home.example.net")), yes);
        // The entry carries its address at once: a peer there is named after it before any
        // refresh.
        EXPECT_EQ(m_book.NameForAddress(0x0a010203),
                  yes ? std::optional<QString>(QStringLiteral("home.example.net")) : std::nullopt);
    }
    EXPECT_EQ(m_transfer->state(), State::Preparing) << "the transfer is unaffected";
}

} // namespace
} // namespace vantrel::test
