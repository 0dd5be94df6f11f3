#include "tests/support/enginecopy.h"

#include "core/installation.h"
#include "core/profile.h"
#include "core/programcore.h"
#include "core/base/settingsstore.h"
#include "core/transferhub.h"
#include "netutil/dyndnsbook.h"
#include "receive/autoreceiverules.h"
#include "receive/listener.h"
#include "receive/receivetransfer.h"
#include "receive/resumecache.h"
#include "send/recenthosts.h"
#include "send/sendinputs.h"
#include "send/sendtransfer.h"
#include "tests/support/tempprofile.h"
#include "tunnel/incomingpolicy.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>

namespace vantrel::test {

namespace {

constexpr std::uint32_t ManualClockStart = 1'000'000;

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

EngineCopy::EngineCopy(const QByteArray& nickName)
    : EngineCopy([&] {
          Options options;
          options.nickName = nickName;
          return options;
      }())
{
}

EngineCopy::EngineCopy(const Options& options)
    : m_nickName(options.nickName), m_showTransfers(options.showTransfers),
      m_clock(std::make_shared<std::atomic<std::uint32_t>>(ManualClockStart))
{
    m_ok = SetUp(options);
}

EngineCopy::~EngineCopy()
{
    // The core ends its listener before the hub and the transfers; the recorder it owns goes
    // with it.
    m_core.reset();
}

bool EngineCopy::SetUp(const Options& options)
{
    if (options.home.isEmpty()) {
        m_tempHome = std::make_unique<QTemporaryDir>();
        if (!m_tempHome->isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return false;
        }
        m_homePath = m_tempHome->path();
    } else {
        m_homePath = options.home;
        QDir().mkpath(m_homePath);
    }

    const Profile profile = Profile::Portable(m_homePath);
    m_core = std::make_unique<ProgramCore>(profile);
    // What the installation leaves: folders, own authority, server certificate, trust list.
    const installation::Result installed = installation::Install(profile, m_core->store());
    if (!installed.ok) {
        m_error = QStringLiteral("installation: ") + installed.message;
        return false;
    }
    m_core->store().Write(SettingsStore::MainKey, QStringLiteral("NickName"),
                          QString::fromUtf8(m_nickName));

    ProgramCore::Options coreOptions;
    coreOptions.executableFolder = BuildFolder();
    coreOptions.executable = QStringLiteral("/usr/bin/vantrel");
    coreOptions.listenPort = 0;
    coreOptions.makeSoundPlayer = [this](const ProgramFolder&) {
        auto recorder = std::make_unique<RecordingSoundPlayer>();
        m_sounds = recorder.get();
        return std::unique_ptr<SoundPlayer>(std::move(recorder));
    };
    if (m_core->Initialise(coreOptions) != ProgramCore::InitResult::Ok || !m_core->hub()) {
        m_error = QStringLiteral("start-up failed (TLS library or compression component)");
        return false;
    }
    // What the main window does at its first showing.
    m_core->LoadStoredLists();

    connect(m_core->hub(), &TransferHub::receiveOpened, this, &EngineCopy::OnReceiveOpened);
    connect(m_core->hub(), &TransferHub::sendOpened, this, &EngineCopy::OnSendOpened);
    if (!m_core->listener() || !m_core->listener()->IsListening()) {
        m_error = QStringLiteral("the listener did not start");
        return false;
    }
    return true;
}

bool EngineCopy::TrustEachOther(EngineCopy& a, EngineCopy& b)
{
    const auto authority = [](const EngineCopy& copy) {
        return copy.folder().file(installation::AuthorityFile);
    };
    return installation::TrustAuthority(a.folder(), authority(b)).ok &&
           installation::TrustAuthority(b.folder(), authority(a)).ok;
}

bool EngineCopy::DistrustEachOther(EngineCopy& a, EngineCopy& b)
{
    const auto trustOnlyItself = [](const EngineCopy& copy) {
        const QByteArray own = ReadFile(copy.folder().file(installation::AuthorityFile));
        return !own.isEmpty() && WriteFile(copy.trustListFile(), own);
    };
    return trustOnlyItself(a) && trustOnlyItself(b);
}

const ProgramFolder& EngineCopy::folder() const
{
    return m_core->folder();
}

QString EngineCopy::trustListFile() const
{
    return folder().file(installation::TrustListFile);
}

int EngineCopy::port() const
{
    return m_core->listener() ? m_core->listener()->PortInUse() : 0;
}

QString EngineCopy::hostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

SettingsStore& EngineCopy::store()
{
    return m_core->store();
}

RateCounters& EngineCopy::counters()
{
    return m_core->counters();
}

TransferHub& EngineCopy::hub()
{
    return *m_core->hub();
}

TransferListModel& EngineCopy::downloads()
{
    return hub().downloads();
}

TransferListModel& EngineCopy::uploads()
{
    return hub().uploads();
}

IncomingPolicy& EngineCopy::policy()
{
    return m_core->policy();
}

AutoReceiveRules& EngineCopy::rules()
{
    return m_core->rules();
}

ResumeCache& EngineCopy::resumes()
{
    return *m_core->resumes();
}

DynDnsBook& EngineCopy::book()
{
    return m_core->book();
}

RecentHosts& EngineCopy::recentHosts()
{
    return m_core->recentHosts();
}

ReceiveTransfer* EngineCopy::WaitForReceive(int count, int timeoutMs)
{
    if (!WaitUntil([&] { return static_cast<int>(m_receives.size()) >= count; }, timeoutMs))
        return nullptr;
    return m_receives[static_cast<std::size_t>(count - 1)];
}

SendTransfer* EngineCopy::OpenSend(const QString& path, bool compression)
{
    SendTransfer* transfer = hub().OpenSend(path);
    transfer->FirstShow(); // once more is harmless when the copy has shown it already
    transfer->SetCompression(compression);
    return transfer;
}

void EngineCopy::SendTo(SendTransfer& transfer, const EngineCopy& to, const QString& description)
{
    SendInputs inputs;
    inputs.hostText = to.hostText();
    inputs.description = description;
    transfer.Send(inputs);
}

void EngineCopy::UseManualClock()
{
    m_manualClock = true;
    for (const QPointer<ReceiveTransfer>& transfer : m_receives)
        ApplyClock(transfer.data());
    for (const QPointer<SendTransfer>& transfer : m_sends)
        ApplyClock(transfer.data());
}

void EngineCopy::AdvanceClock(std::uint32_t ms)
{
    m_clock->fetch_add(ms);
}

std::uint32_t EngineCopy::Now() const
{
    return m_clock->load();
}

void EngineCopy::ApplyClock(ReceiveTransfer* transfer)
{
    if (transfer && m_manualClock)
        transfer->SetClock([clock = m_clock] { return clock->load(); });
}

void EngineCopy::ApplyClock(SendTransfer* transfer)
{
    if (transfer && m_manualClock)
        transfer->SetClock([clock = m_clock] { return clock->load(); });
}

void EngineCopy::OnReceiveOpened(ReceiveTransfer* transfer)
{
    m_receives.emplace_back(transfer);
    ApplyClock(transfer);
    connect(
        transfer, &ReceiveTransfer::messageBox, this,
        [this](const QString& text, const QString& title) { m_boxes.emplace_back(text, title); });
    if (m_showTransfers)
        transfer->Present();
    emit receiveOpened(transfer);
}

void EngineCopy::OnSendOpened(SendTransfer* transfer)
{
    m_sends.emplace_back(transfer);
    ApplyClock(transfer);
    connect(
        transfer, &SendTransfer::messageBox, this,
        [this](const QString& text, const QString& title) { m_boxes.emplace_back(text, title); });
    if (m_showTransfers)
        transfer->FirstShow();
    emit sendOpened(transfer);
}

} // namespace vantrel::test
