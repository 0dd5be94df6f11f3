#include "core/handoffstart.h"

#include "core/base/settingsstore.h"
#include "core/handoff.h"
#include "core/instanceclient.h"
#include "core/profile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>

namespace vantrel::handoffstart {

namespace {

// QLockFile's own wait doubles its sleeps up to seconds: the last of several files handed off
// together would open seconds after the others.
bool TakeTurn(QLockFile& turn, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (!turn.tryLock(0)) {
        if (turn.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

int Run(const Profile& profile, const QByteArray& path, const QString& executable,
        QTextStream& errors, Timing timing, bool display)
{
    const QString shown = QFile::decodeName(path);
    if (path.size() > handoff::MaxPathBytes) {
        // Cut short it would name some other file or folder.
        errors << "Vantrel: the path is longer than " << handoff::MaxPathBytes
               << " bytes and cannot be sent: " << shown << Qt::endl;
        return 1;
    }

    QDir().mkpath(profile.configFolder());
    QLockFile turn(profile.handOffTurnFile());
    // A holder that died is detected by its pid; a live one is never stale.
    turn.setStaleLockTime(0);
    if (!TakeTurn(turn, timing.turnWaitMs)) {
        if (turn.error() == QLockFile::LockFailedError)
            errors << "Vantrel: other hand-offs kept the program busy; " << shown
                   << " was not handed to it." << Qt::endl;
        else
            errors << "Vantrel: cannot take a turn to hand off (" << profile.handOffTurnFile()
                   << "); " << shown << " was not handed to it." << Qt::endl;
        return 1;
    }

    InstanceClient client(profile);
    if (!client.Connect()) {
        if (!display) {
            errors << "Vantrel: no copy of this profile runs, and without a display a new one "
                      "could not send "
                   << shown << "." << Qt::endl;
            return 1;
        }
        // Same environment, so the new copy runs on the same profile.
        if (!QProcess::startDetached(executable, {})) {
            errors << "Vantrel: cannot start " << executable << Qt::endl;
            return 1;
        }
        bool found = false;
        for (int i = 0; i < timing.polls && !found; ++i) {
            QThread::msleep(static_cast<unsigned long>(timing.pollGapMs));
            found = client.Connect(timing.pollGapMs);
        }
        if (!found) {
            errors << "Vantrel: the program did not answer in time; " << shown
                   << " was not handed to it." << Qt::endl;
            return 1;
        }
    }

    // Read only now: a copy that has just started may have installed the profile meanwhile.
    const SettingsStore store(profile.iniFile());
    const ProgramFolder folder = profile.ProgramFolderFrom(store);
    QDir().mkpath(folder.path());
    if (!handoff::WriteFile(handoff::FilePath(folder), path)) {
        errors << "Vantrel: cannot write " << handoff::FilePath(folder) << Qt::endl;
        return 1;
    }
    switch (client.Deliver(timing.deliveryWaitMs)) {
    case InstanceClient::Delivery::Taken:
        return 0;
    case InstanceClient::Delivery::Refused:
        errors << "Vantrel: the running copy of this profile has no display: it serves only its "
                  "auto-receive rules and cannot send "
               << shown << ". Stop it and start Vantrel on a display to send." << Qt::endl;
        return 1;
    case InstanceClient::Delivery::Failed:
        break;
    }
    errors << "Vantrel: the running program did not take the path " << shown << Qt::endl;
    return 1;
}

} // namespace vantrel::handoffstart
