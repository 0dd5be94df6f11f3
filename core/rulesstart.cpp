#include "core/rulesstart.h"

#include "core/base/settingsstore.h"
#include "core/instanceclient.h"
#include "core/profile.h"
#include "core/rulesedit.h"

#include <QDir>
#include <QLockFile>
#include <QTextStream>
#include <QThread>

namespace vantrel::rulesstart {

namespace {

int Report(const RulesReply& reply, QTextStream& out, QTextStream& errors)
{
    out << reply.output;
    out.flush();
    errors << reply.errors;
    errors.flush();
    return reply.exitCode;
}

} // namespace

int Run(const Profile& profile, const RulesRequest& request, QTextStream& out, QTextStream& errors)
{
    // A copy that is starting holds the lock before it answers: ask again a while.
    constexpr int Attempts = 50;
    constexpr unsigned long GapMs = 100;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        InstanceClient client(profile);
        if (client.Connect()) {
            const std::optional<QByteArray> answer = client.AskRules(request.Encode());
            const std::optional<RulesReply> reply =
                answer ? RulesReply::Decode(*answer) : std::nullopt;
            if (!reply) {
                errors << "Vantrel: the running copy of this profile did not answer." << Qt::endl;
                return 1;
            }
            return Report(*reply, out, errors);
        }
        QDir().mkpath(profile.configFolder());
        // Holding the lock, no copy can start and load the rules before they are written.
        QLockFile lock(profile.lockFile());
        lock.setStaleLockTime(0);
        if (lock.tryLock(0)) {
            const SettingsStore store(profile.iniFile());
            const QString file =
                profile.ProgramFolderFrom(store).file(QStringLiteral("autorec.vnt"));
            return Report(rulesedit::ApplyToFile(request, file), out, errors);
        }
        if (lock.error() != QLockFile::LockFailedError) {
            errors << "Vantrel: cannot lock the profile " << profile.lockFile() << Qt::endl;
            return 1;
        }
        QThread::msleep(GapMs);
    }
    errors << "Vantrel: the running copy of this profile did not answer." << Qt::endl;
    return 1;
}

} // namespace vantrel::rulesstart
