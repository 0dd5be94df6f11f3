// A tour of every window in the states a user meets: two copies of the program on throwaway
// profiles send to each other through their windows (a completed file, a refusal, an aborted
// download kept for a later resume), and the tool windows and pages are opened on the way.
//
//   window_tour --shots DIR   saves a picture of each window (the manual's pictures)
//   window_tour --check       reports every control whose text does not fit; exit code 1
//                             when there is one (run by the tests at several scales)
#include "core/base/handoverlock.h"
#include "core/base/settingsstore.h"
#include "core/handoffreceiver.h"
#include "core/installation.h"
#include "core/mainunit.h"
#include "core/transferhub.h"
#include "core/transferwindows.h"
#include "netutil/dyndnsbook.h"
#include "netutil/dyndnsunit.h"
#include "netutil/newverform.h"
#include "receive/arecunit.h"
#include "receive/autoreceiverules.h"
#include "receive/listener.h"
#include "receive/receivetransfer.h"
#include "receive/resunit.h"
#include "receive/spform.h"
#include "send/sendtransfer.h"
#include "tests/support/layoutcheck.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"
#include "tunnel/incomingpolicy.h"
#include "tunnel/newtununit.h"
#include "tunnel/tpolunit.h"
#include "ui/closeunit.h"
#include "ui/creditspage.h"
#include "ui/optionspage.h"
#include "ui/trustedcomputerswindow.h"
#include "ui/tunnelspage.h"
#include "widgets/dotmatrixdisplay.h"
#include "widgets/statusline.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QThread>

#include <cstdio>
#include <memory>

using namespace vantrel;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr int StepTimeoutMs = 30000;

struct Copy
{
    test::TempFolder home;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;

    TransferHub& hub() const { return *form->core().hub(); }
    QString address() const
    {
        return QStringLiteral("127.0.0.1:%1").arg(form->core().listener()->PortInUse());
    }
};

class Tour
{
public:
    Tour(QString shotsFolder, bool check) : m_shots(std::move(shotsFolder)), m_check(check) {}

    int Run();

private:
    bool Make(Copy& copy, const QByteArray& nickName);
    // Runs the event loop until `done`, ticking both main windows' statistics now and then so
    // that the graphs have something to show.
    bool Wait(const std::function<bool()>& done, const char* what);
    void Shot(const QString& name, QWidget* window);
    QDialog* NewestWindow(Copy& copy, TransferListModel& list, int rows);
    QDialog* OfferFromAlice(const QString& path, bool slow);
    static void Click(QWidget* window, const char* name);
    static bool Shown(QWidget* window, const char* name);

    QString m_shots;
    bool m_check;
    Copy m_alice;
    Copy m_bob;
    test::TempFolder m_files;
    QStringList m_problems;
    QElapsedTimer m_sinceTick;
};

bool Tour::Make(Copy& copy, const QByteArray& nickName)
{
    const Profile profile = Profile::Portable(copy.home.path());
    auto core = std::make_unique<ProgramCore>(profile);
    if (!installation::Install(profile, core->store()).ok)
        return false;
    core->store().Write(SettingsStore::MainKey, QStringLiteral("NickName"),
                        QString::fromUtf8(nickName));
    TMainForm::Options options;
    options.core.executableFolder = test::BuildFolder();
    options.core.executable = QStringLiteral("/usr/bin/vantrel");
    options.core.listenPort = 0;
    options.dialogs = &copy.dialogs;
    options.useTray = false;
    options.quit = [] {};
    copy.form = std::make_unique<TMainForm>(std::move(core), options);
    return copy.form->initialised();
}

bool Tour::Wait(const std::function<bool()>& done, const char* what)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > StepTimeoutMs) {
            m_problems << QStringLiteral("timed out waiting for %1").arg(QLatin1String(what));
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
        if (m_sinceTick.elapsed() >= 500) {
            m_alice.form->StatisticsTickNow();
            m_bob.form->StatisticsTickNow();
            m_sinceTick.restart();
        }
    }
    return true;
}

void Tour::Shot(const QString& name, QWidget* window)
{
    if (!window) {
        m_problems << name + QStringLiteral(": no window");
        return;
    }
    window->show();
    QApplication::processEvents();
    for (const QString& clipped : test::ClippedControls(window))
        m_problems << name + QStringLiteral(": ") + clipped;
    if (!m_shots.isEmpty() &&
        !window->grab().save(m_shots + QLatin1Char('/') + name + QStringLiteral(".png")))
        m_problems << name + QStringLiteral(": cannot save the picture");
}

QDialog* Tour::NewestWindow(Copy& copy, TransferListModel& list, int rows)
{
    QDialog* window = nullptr;
    Wait(
        [&] {
            if (list.rowCount() < rows || !list.IsActive(0))
                return false;
            window = copy.form->transferWindows()->WindowOf(list.TransferAt(0));
            return window != nullptr;
        },
        "a transfer window");
    return window;
}

void Tour::Click(QWidget* window, const char* name)
{
    if (auto* button = window->findChild<QAbstractButton*>(QLatin1String(name)))
        button->click();
}

bool Tour::Shown(QWidget* window, const char* name)
{
    auto* widget = window->findChild<QWidget*>(QLatin1String(name));
    return widget && widget->isVisible();
}

// Alice's send window for `path`, the host typed and a description written; `slow` caps the
// send at 48 Kb/sec, so that it is still running when the pictures are taken.
QDialog* Tour::OfferFromAlice(const QString& path, bool slow)
{
    const int rows = m_alice.hub().uploads().rowCount() + 1;
    m_alice.form->core().handOff()->HandOff(path);
    QDialog* window = NewestWindow(m_alice, m_alice.hub().uploads(), rows);
    if (!window)
        return nullptr;
    if (slow)
        static_cast<SendTransfer*>(m_alice.hub().uploads().TransferAt(0))->SetBandLimit(48);
    if (auto* host = window->findChild<QComboBox*>(QStringLiteral("HostCBox")))
        host->setCurrentText(m_bob.address());
    if (auto* memo = window->findChild<QPlainTextEdit*>(QStringLiteral("Memo1")))
        memo->setPlainText(QStringLiteral("The holiday pictures, as promised."));
    else if (auto* rich = window->findChild<QTextEdit*>(QStringLiteral("Memo1")))
        rich->setPlainText(QStringLiteral("The holiday pictures, as promised."));
    return window;
}

int Tour::Run()
{
    if (!Make(m_alice, "Alice") || !Make(m_bob, "Bob")) {
        std::fprintf(stderr, "window_tour: the two copies did not start\n");
        return 2;
    }
    const auto authority = [](Copy& copy) {
        return copy.form->core().folder().file(installation::AuthorityFile);
    };
    installation::TrustAuthority(m_alice.form->core().folder(), authority(m_bob));
    installation::TrustAuthority(m_bob.form->core().folder(), authority(m_alice));
    m_alice.form->show();
    m_bob.form->show();
    m_sinceTick.start();

    QRandomGenerator random(12);
    QByteArray pictures(1500 * 1024, Qt::Uninitialized);
    for (char& byte : pictures)
        byte = static_cast<char>(random.bounded(256));
    m_files.write(QStringLiteral("out/holiday/beach.jpg"), pictures);
    m_files.write(QStringLiteral("out/holiday/notes.txt"), QByteArray(20000, 'n'));
    m_files.write(QStringLiteral("out/report.pdf"), pictures.left(300 * 1024));
    QDir().mkpath(m_files.file(QStringLiteral("in")));

    // A directory accepted and received, slowly enough to be seen on its way.
    QDialog* send = OfferFromAlice(m_files.file(QStringLiteral("out/holiday")), true);
    if (!send)
        return 2;
    Shot(QStringLiteral("send-request"), send);
    Click(send, "SendBtn");
    QDialog* receive = NewestWindow(m_bob, m_bob.hub().downloads(), 1);
    if (!receive)
        return 2;
    Shot(QStringLiteral("receive-request"), receive);
    m_bob.dialogs.savePaths.push_back(m_files.file(QStringLiteral("in/holiday")));
    Click(receive, "BitBtn1");
    auto* receiveTransfer = static_cast<ReceiveTransfer*>(m_bob.hub().downloads().TransferAt(0));
    Wait(
        [&] {
            return receiveTransfer->state() == ReceiveTransfer::State::Receiving &&
                   receiveTransfer->receivedBytes() > 80 * 1024;
        },
        "the data to flow");
    receiveTransfer->ProgressTick();
    static_cast<SendTransfer*>(m_alice.hub().uploads().TransferAt(0))->ProgressTick();
    Shot(QStringLiteral("receive-progress"), receive);
    Shot(QStringLiteral("send-progress"), send);
    Click(receive, "SpeedButton1");
    Shot(QStringLiteral("band-limit"), m_bob.form->speedForm());
    m_bob.form->speedForm()->Detach();
    static_cast<SendTransfer*>(m_alice.hub().uploads().TransferAt(0))->SetBandLimit(0);
    Wait([&] { return Shown(receive, "Panel7") && Shown(send, "Panel7"); }, "the completion");
    Shot(QStringLiteral("receive-completed"), receive);
    Shot(QStringLiteral("send-completed"), send);
    Click(receive, "DoneBtn");
    Click(send, "BitBtn3");

    // A refusal with a comment.
    send = OfferFromAlice(m_files.file(QStringLiteral("out/report.pdf")), false);
    if (!send)
        return 2;
    Click(send, "SendBtn");
    receive = NewestWindow(m_bob, m_bob.hub().downloads(), 2);
    if (!receive)
        return 2;
    if (auto* reason = receive->findChild<QPlainTextEdit*>(QStringLiteral("Memo2")))
        reason->setPlainText(QStringLiteral("Not now, I am on the train. Tonight?"));
    Click(receive, "BitBtn2");
    Wait([&] { return Shown(send, "RejPanel"); }, "the refusal");
    Shot(QStringLiteral("send-refused"), send);
    Click(send, "BitBtn5");

    // A download aborted on its way and kept for a later resume.
    send = OfferFromAlice(m_files.file(QStringLiteral("out/holiday")), true);
    if (!send)
        return 2;
    Click(send, "SendBtn");
    receive = NewestWindow(m_bob, m_bob.hub().downloads(), 3);
    if (!receive)
        return 2;
    m_bob.dialogs.savePaths.push_back(m_files.file(QStringLiteral("in/holiday again")));
    Click(receive, "BitBtn1");
    receiveTransfer = static_cast<ReceiveTransfer*>(m_bob.hub().downloads().TransferAt(0));
    Wait([&] { return receiveTransfer->receivedBytes() > 60 * 1024; }, "the second download");
    Click(receive, "BitBtn2");
    Wait([&] { return Shown(receive, "ResQPanel"); }, "the interruption");
    Shot(QStringLiteral("receive-interrupted"), receive);
    Wait([&] { return Shown(send, "SErrPanel"); }, "the sender's connection error");
    Shot(QStringLiteral("send-broken"), send);
    Click(receive, "SaveLaterBtn");
    Click(send, "BitBtn9");
    Wait([&] { return m_bob.hub().activeCount() == 0 && m_alice.hub().activeCount() == 0; },
         "the windows to close");

    // A receiver Alice does not trust yet: the offer of its authority, declined.
    const QString aliceList = m_alice.form->core().folder().file(installation::TrustListFile);
    const QByteArray trusted = ReadAll(aliceList);
    m_files.write(QStringLiteral("alice-list.pem"), ReadAll(authority(m_alice)));
    QFile::remove(aliceList);
    QFile::copy(m_files.file(QStringLiteral("alice-list.pem")), aliceList);
    send = OfferFromAlice(m_files.file(QStringLiteral("out/report.pdf")), false);
    if (!send)
        return 2;
    Click(send, "SendBtn");
    Wait([&] { return Shown(send, "TrustPanel"); }, "the trust offer");
    Shot(QStringLiteral("send-trust"), send);
    Click(send, "DeclineButton");
    Click(send, "BitBtn2");
    QFile::remove(aliceList);
    m_files.write(QStringLiteral("alice-list.pem"), trusted);
    QFile::copy(m_files.file(QStringLiteral("alice-list.pem")), aliceList);
    Wait([&] { return m_alice.hub().activeCount() == 0; }, "the offer's window to close");
    Shot(QStringLiteral("trusted-computers"), m_alice.form->trustedComputersWindow());
    m_alice.form->trustedComputersWindow()->hide();

    // The tool windows.
    Shot(QStringLiteral("resumes"), m_bob.form->resumesForm());
    m_bob.form->resumesForm()->hide();
    AutoReceiveRules::Fields rule;
    rule.host = QStringLiteral("127.0.0.1");
    rule.saveDirectory = m_files.file(QStringLiteral("in"));
    rule.bandLimit = QStringLiteral("0");
    m_bob.form->core().rules().Add(rule);
    rule.host = QStringLiteral("laptop.home.example");
    rule.bandLimit = QStringLiteral("512");
    m_bob.form->core().rules().Add(rule);
    Shot(QStringLiteral("autoreceive"), m_bob.form->autoReceiveForm());
    m_bob.form->autoReceiveForm()->hide();
    IncomingPolicy& policy = m_bob.form->core().policy();
    policy.SetMode(PolicyMode::AcceptExcept);
    policy.AddHost(QStringLiteral("192.0.2.44"));
    policy.AddHost(QStringLiteral("noisy.example.net"));
    Shot(QStringLiteral("policies"), m_bob.form->policiesForm());
    m_bob.form->policiesForm()->hide();
    DynDnsBook& book = m_bob.form->core().book();
    book.AddEntry(QStringLiteral("home.dyn.example"), QStringLiteral("127.0.0.1"));
    book.AddEntry(QStringLiteral("office.dyn.example"), DynDnsBook::Unresolved);
    Shot(QStringLiteral("dyndns"), m_bob.form->dynDnsForm());
    m_bob.form->dynDnsForm()->hide();
    TCloseForm* close = m_bob.form->closeForm();
    close->setModal(false);
    Shot(QStringLiteral("close-query"), close);
    close->hide();
    TNewVerQuery* notice = m_bob.form->newVersionForm();
    notice->setModal(false);
    notice->ShowNewVersion(1.3, QStringLiteral("http://updates.example.net/vantrel-1.3.deb"),
                           QString());
    notice->pageView()->setHtml(QStringLiteral(
        "<h3>What is new in Vantrel 1.3</h3><ul><li>Receive tunnels through firewalls</li>"
        "<li>Faster resumes of large directories</li><li>A dynamic DNS address book</li></ul>"));
    Shot(QStringLiteral("new-version"), notice);
    notice->hide();

    // Bob opens a receive tunnel to Alice: the address typed, a failed attempt (nobody listens
    // on port 1), then the right address; the window closes once the tunnel is listed.
    emit m_bob.form->tunnelsPage()->openTunnelRequested();
    QPointer<TNewTunnel> tunnel = m_bob.form->newTunnelForm();
    if (!tunnel)
        return 2;
    auto* tunnelHost = tunnel->findChild<QComboBox*>(QStringLiteral("HostCBox"));
    auto* tunnelStatus = tunnel->findChild<StatusLine*>(QStringLiteral("StatusBar"));
    if (!tunnelHost || !tunnelStatus)
        return 2;
    const QString alice = m_alice.address() + QStringLiteral(" (Alice)");
    tunnelHost->setCurrentText(alice);
    Shot(QStringLiteral("new-tunnel"), tunnel);
    tunnelHost->setCurrentText(QStringLiteral("127.0.0.1:1"));
    Click(tunnel, "SendBtn");
    Wait([&] { return tunnelStatus->kind() == StatusLine::Kind::Failure; }, "the tunnel failure");
    Shot(QStringLiteral("new-tunnel-failed"), tunnel);
    tunnelHost->setCurrentText(alice);
    Click(tunnel, "SendBtn");
    Wait([&] { return !tunnel && m_alice.hub().tunnels().rows().size() == 1; }, "the tunnel");

    // The main window's pages.
    TMainForm& main = *m_bob.form;
    // Addresses of the documentation ranges, so that the pictures show no real machine.
    main.optionsPage()->ShowLocalAddresses({QStringLiteral("192.168.1.20")});
    main.optionsPage()->ShowInternetAddress(QStringLiteral("203.0.113.9"));
    main.showNormal();
    main.resize(main.width(), 440);
    const struct
    {
        int page;
        const char* name;
    } pages[] = {{0, "main-transfers"},
                 {1, "main-options"},
                 {2, "main-tunnels"},
                 {3, "main-graphs"},
                 {4, "main-credits"}};
    for (const auto& page : pages) {
        main.pages()->setCurrentIndex(page.page);
        if (page.page == 4)
            for (int step = 0; step < 140; ++step)
                main.creditsPage()->display()->Step();
        Shot(QString::fromLatin1(page.name), &main);
    }
    m_alice.form->showNormal();
    m_alice.form->pages()->setCurrentIndex(0);
    Shot(QStringLiteral("main-uploads"), m_alice.form.get());

    for (const QString& problem : m_problems)
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    if (!m_check)
        return m_problems.isEmpty() ? 0 : 1;
    std::printf("%lld problem(s)\n", static_cast<long long>(m_problems.size()));
    return m_problems.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallHandOverMarks(app);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    QString shots;
    const qsizetype at = arguments.indexOf(QStringLiteral("--shots"));
    if (at >= 0 && at + 1 < arguments.size()) {
        shots = arguments.at(at + 1);
        QDir().mkpath(shots);
    }
    const bool check = arguments.contains(QStringLiteral("--check"));
    if (shots.isEmpty() && !check) {
        std::fprintf(stderr, "usage: window_tour --shots DIR | --check\n");
        return 2;
    }
    return Tour(shots, check).Run();
}
