#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantrel::bench {

// A throwaway OpenSSH server for the comparison with scp and tar | ssh: host key, user key,
// authorized keys, configuration and pid file all in a folder of its own; no PAM, listening
// on one address only. Started by Start, stopped by the destructor (and by SignalCleanup on
// Ctrl+C). The system's own sshd is neither needed nor touched.
class SshServer
{
public:
    // `prefix` runs sshd elsewhere, for example inside a network namespace.
    SshServer(const QString& folder, const QString& address, const QStringList& prefix = {});
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Makes the keys and the configuration, starts sshd and waits until a client logs in
    // (run with `clientPrefix`). False with error() when anything is missing or fails.
    bool Start(const QStringList& clientPrefix = {});
    const QString& error() const { return m_error; }

    // What is missing on this machine for the comparison, or empty.
    static QString Missing();

    // Options for ssh and scp that use only this server's keys and files, never the user's.
    QStringList SshOptions() const;
    QStringList ScpOptions() const;
    // user@address
    QString Target() const;
    // The cipher the client offers first with these options (what the session uses).
    QString Cipher() const;

private:
    QStringList CommonOptions() const;
    bool RunTool(const QStringList& command);
    void Stop();

    QString m_folder;
    QString m_address;
    QStringList m_prefix;
    int m_port = 0;
    QProcess m_sshd;
    QString m_error;
    bool m_madePrivsepFolder = false;
    int m_cleanupSlot = -1;
};

} // namespace vantrel::bench
