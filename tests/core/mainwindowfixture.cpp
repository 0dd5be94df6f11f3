#include "tests/core/mainwindowfixture.h"

#include "core/base/settingsstore.h"
#include "core/installation.h"

namespace vantrel::test {

bool MainWindowParts::Make(bool useTray, bool install, const QByteArray& nickName)
{
    const Profile profile = Profile::Portable(home.path());
    auto core = std::make_unique<ProgramCore>(profile);
    if (install && !installation::Install(profile, core->store()).ok)
        return false;
    if (!nickName.isEmpty())
        core->store().Write(SettingsStore::MainKey, QStringLiteral("NickName"),
                            QString::fromUtf8(nickName));
    TMainForm::Options options;
    options.core.executableFolder = BuildFolder();
    options.core.executable = QStringLiteral("/usr/bin/vantrel");
    options.core.listenPort = 0;
    options.dialogs = &dialogs;
    options.useTray = useTray;
    options.quit = [this] { ++quits; };
    options.showError = [](const QString& caption, const QString& text) {
        ADD_FAILURE() << caption.toStdString() << ": " << text.toStdString();
    };
    if (configure)
        configure(core->store(), options.core);
    form = std::make_unique<TMainForm>(std::move(core), options);
    return form->initialised();
}

} // namespace vantrel::test
