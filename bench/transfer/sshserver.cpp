#include "bench/transfer/sshserver.h"

#include "bench/transfer/signalcleanup.h"
#include "tests/support/freeport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace vantrel::bench {

namespace {

constexpr const char* Sshd = "/usr/sbin/sshd";
// Where Debian's sshd insists on an empty folder when it runs as root.
constexpr const char* PrivsepFolder = "/run/sshd";

QString UserName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("root");
}

} // namespace

SshServer::SshServer(const QString& folder, const QString& address, const QStringList& prefix)
    : m_folder(folder), m_address(address), m_prefix(prefix)
{
}

SshServer::~SshServer()
{
    Stop();
}

QString SshServer::Missing()
{
    QStringList missing;
    if (!QFile::exists(QString::fromLatin1(Sshd)))
        missing << QStringLiteral("sshd (openssh-server)");
    for (const char* tool : {"ssh", "scp", "ssh-keygen"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QStringLiteral("%1 (openssh-client)").arg(QString::fromLatin1(tool));
    }
    if (missing.isEmpty())
        return {};
    return missing.join(QStringLiteral(", ")) +
           QStringLiteral(" not installed: run scripts/install-bench-deps.sh");
}

bool SshServer::RunTool(const QStringList& command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.front(), command.mid(1));
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = command.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                  QString::fromLocal8Bit(process.readAll()).trimmed();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        return false;
    }
    return true;
}

bool SshServer::Start(const QStringList& clientPrefix)
{
    m_error = Missing();
    if (!m_error.isEmpty())
        return false;
    QDir().mkpath(m_folder);
    const QString hostKey = m_folder + QStringLiteral("/host_key");
    const QString userKey = m_folder + QStringLiteral("/user_key");
    for (const QString& key : {hostKey, userKey}) {
        QFile::remove(key);
        QFile::remove(key + QStringLiteral(".pub"));
        if (!RunTool({QStringLiteral("ssh-keygen"), QStringLiteral("-q"), QStringLiteral("-t"),
                      QStringLiteral("ed25519"), QStringLiteral("-N"), QString(),
                      QStringLiteral("-f"), key}))
            return false;
    }
    const QString authorized = m_folder + QStringLiteral("/authorized_keys");
    QFile::remove(authorized);
    if (!QFile::copy(userKey + QStringLiteral(".pub"), authorized)) {
        m_error = QStringLiteral("cannot write ") + authorized;
        return false;
    }
    m_port = test::FreePort();
    const QString config = m_folder + QStringLiteral("/sshd_config");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write ") + config;
        return false;
    }
    file.write(QStringLiteral("Port %1\n"
                              "ListenAddress %2\n"
                              "HostKey %3\n"
                              "AuthorizedKeysFile %4\n"
                              "PidFile %5/sshd.pid\n"
                              "UsePAM no\n"
                              "StrictModes no\n"
                              "PermitRootLogin prohibit-password\n"
                              "PubkeyAuthentication yes\n"
                              "PasswordAuthentication no\n"
                              "KbdInteractiveAuthentication no\n"
                              "UseDNS no\n"
                              "PrintMotd no\n"
                              "ClientAliveInterval 5\n"
                              "ClientAliveCountMax 2\n"
                              "LogLevel ERROR\n"
                              "Subsystem sftp internal-sftp\n")
                   .arg(m_port)
                   .arg(m_address, hostKey, authorized, m_folder)
                   .toLocal8Bit());
    file.close();

    if (::geteuid() == 0 && !QFileInfo::exists(QString::fromLatin1(PrivsepFolder)))
        m_madePrivsepFolder = QDir().mkpath(QString::fromLatin1(PrivsepFolder));

    // Ends with this program even when it is killed outright; its group holds the sessions.
    m_sshd.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_sshd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList command = m_prefix;
    command << QString::fromLatin1(Sshd) << QStringLiteral("-D") << QStringLiteral("-e")
            << QStringLiteral("-f") << config;
    m_sshd.start(command.front(), command.mid(1));
    if (!m_sshd.waitForStarted(10000)) {
        m_error = QStringLiteral("sshd did not start");
        return false;
    }
    SignalCleanup::AddProcess(-pid_t(m_sshd.processId()));
    // Each session is a child of the listener in a session of its own.
    m_cleanupSlot =
        SignalCleanup::AddCommand({QStringLiteral("pkill"), QStringLiteral("-TERM"),
                                   QStringLiteral("-P"), QString::number(m_sshd.processId())});

    // Ready once a client gets in with these keys and options.
    QStringList probe = clientPrefix;
    probe << QStringLiteral("ssh") << SshOptions() << Target() << QStringLiteral("true");
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (m_sshd.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("sshd ended at start-up (see its messages above)");
            return false;
        }
        if (RunTool(probe))
            return true;
        QThread::msleep(200);
    }
    m_error = QStringLiteral("no login to the throwaway sshd: ") + m_error;
    return false;
}

void SshServer::Stop()
{
    if (m_sshd.state() != QProcess::NotRunning) {
        const pid_t group = pid_t(m_sshd.processId());
        SignalCleanup::ForgetProcess(-group);
        SignalCleanup::ForgetCommand(m_cleanupSlot);
        RunTool({QStringLiteral("pkill"), QStringLiteral("-TERM"), QStringLiteral("-P"),
                 QString::number(group)});
        ::kill(-group, SIGTERM);
        if (!m_sshd.waitForFinished(5000)) {
            m_sshd.kill();
            m_sshd.waitForFinished();
        }
    }
    if (m_madePrivsepFolder)
        QDir().rmdir(QString::fromLatin1(PrivsepFolder));
    m_madePrivsepFolder = false;
}

QStringList SshServer::CommonOptions() const
{
    return {QStringLiteral("-F"),
            QStringLiteral("/dev/null"),
            QStringLiteral("-i"),
            m_folder + QStringLiteral("/user_key"),
            QStringLiteral("-o"),
            QStringLiteral("IdentitiesOnly=yes"),
            QStringLiteral("-o"),
            QStringLiteral("StrictHostKeyChecking=no"),
            QStringLiteral("-o"),
            QStringLiteral("UserKnownHostsFile=") + m_folder + QStringLiteral("/known_hosts"),
            QStringLiteral("-o"),
            QStringLiteral("BatchMode=yes"),
            QStringLiteral("-o"),
            QStringLiteral("LogLevel=ERROR")};
}

QStringList SshServer::SshOptions() const
{
    return CommonOptions() << QStringLiteral("-p") << QString::number(m_port);
}

QStringList SshServer::ScpOptions() const
{
    return CommonOptions() << QStringLiteral("-P") << QString::number(m_port);
}

QString SshServer::Target() const
{
    return UserName() + QLatin1Char('@') + m_address;
}

QString SshServer::Cipher() const
{
    QProcess process;
    process.start(QStringLiteral("ssh"), SshOptions() << QStringLiteral("-G") << Target());
    process.waitForFinished(10000);
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ciphers "))
            return QString::fromLatin1(line.mid(8).split(',').value(0));
    }
    return QStringLiteral("unknown");
}

} // namespace vantrel::bench
