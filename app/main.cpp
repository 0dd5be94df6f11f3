// The process entry: maintenance commands, the hand-off of a path to the running copy, or the
// program itself (one copy per profile; headless when there is no display).
#include "core/base/handoverlock.h"
#include "core/commandline.h"
#include "core/commandlinesend.h"
#include "core/handoff.h"
#include "core/handoffreceiver.h"
#include "core/handoffstart.h"
#include "core/headlessserver.h"
#include "core/installation.h"
#include "core/mainunit.h"
#include "core/manualfiles.h"
#include "core/profile.h"
#include "core/programcore.h"
#include "core/quitonsignals.h"
#include "core/rulesedit.h"
#include "core/rulesstart.h"
#include "core/singleinstance.h"
#include "core/transferhub.h"
#include "ui/eventsoundplayer.h"
#include "vantrelapplication.h"
#include "widgets/pictures.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace vantrel;

namespace {

QList<QByteArray> ArgumentsAfterProgram(int argc, char** argv)
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return arguments;
}

bool HasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// A copy started now would show its windows (not only run on an offscreen platform).
bool WouldShowWindows()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return HasDisplay() && !platform.startsWith("offscreen") && !platform.startsWith("minimal");
}

void ShowError(bool headless, const QString& caption, const QString& text)
{
    if (headless) {
        QTextStream(stderr) << caption << ' ' << text << Qt::endl;
        return;
    }
    QMessageBox::critical(nullptr, caption, text, QMessageBox::Ok);
}

int RunProgram(int argc, char** argv)
{
    bool headless = !HasDisplay();
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    VantrelApplication app(argc, argv);
    InstallHandOverMarks(app);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    // The main window lives in the tray, so no window closing ends the program: only an
    // allowed close (or a stop by signal) does.
    QApplication::setQuitOnLastWindowClosed(false);
    const QString platform = QGuiApplication::platformName();
    headless =
        headless || platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    if (!headless) {
        // Every window carries the program's icon, and the desktop ties them to the menu
        // entry; a copy without windows draws no icon at start.
        QApplication::setWindowIcon(PictureIcon(Picture::Program));
        QGuiApplication::setDesktopFileName(QStringLiteral("vantrel"));
    }

    app.SetShowException([&headless](const QString& message) {
        ShowError(headless, QStringLiteral("Vantrel"), message);
    });

    try {
        const Profile profile = Profile::FromEnvironment();
        SingleInstance instance(profile);
        switch (instance.TryBecomeInstance()) {
        case SingleInstance::Outcome::Became:
            break;
        case SingleInstance::Outcome::AlreadyRunning:
            // Without windows nobody sees the running copy come forward: say why this ends
            // (a service's journal shows it).
            if (headless)
                QTextStream(stderr) << "Vantrel already runs on this profile ("
                                    << profile.configFolder() << "); this start ends."
                                    << Qt::endl;
            return 0;
        case SingleInstance::Outcome::Failed:
            ShowError(headless, QStringLiteral("Init Error!"), instance.errorText());
            return 1;
        }
        QuitOnSignals quitOnSignals;

        auto core = std::make_unique<ProgramCore>(profile);
        if (!installation::IsInstalled(core->store())) {
            const installation::Result installed = installation::Install(profile, core->store());
            if (!installed.ok) {
                ShowError(headless, QStringLiteral("Init Error!"), installed.message);
                return 1;
            }
            if (headless)
                QTextStream(stdout) << installed.message << Qt::endl;
        }

        // The manual describes the program that runs, also in a profile set up earlier.
        manualfiles::Refresh(ProgramFolder(profile.dataFolder()));

        TMainForm::Options options;
        options.core.makeProgramFolderCurrent = true;
        if (headless) {
            options.showError = [](const QString& caption, const QString& text) {
                ShowError(true, caption, text);
            };
            options.transferWindows = false;
            options.useTray = false;
        } else {
            options.core.makeSoundPlayer = [](const ProgramFolder& folder) {
                return std::make_unique<EventSoundPlayer>(folder);
            };
        }
        TMainForm form(std::move(core), options);
        if (!form.initialised())
            return 1;
        // Without a display nobody could drive a send, nor answer a request: hand-offs are
        // refused, and requests are answered by the auto-receive rules alone.
        QTextStream out(stdout);
        std::unique_ptr<HeadlessServer> server;
        if (headless) {
            instance.RefuseHandOffs();
            server = std::make_unique<HeadlessServer>(*form.core().hub(), out);
        } else {
            instance.SetNotifyTarget(form.core().handOff());
        }
        // The command line's listings and edits of the rules act on the rules this copy uses.
        QPointer<TMainForm> rulesOwner(&form);
        instance.SetRulesHandler([rulesOwner](const QByteArray& request) {
            if (!rulesOwner)
                return RulesReply{1, {}, QStringLiteral("Vantrel: the copy is closing.\n")}
                    .Encode();
            ProgramCore& owner = rulesOwner->core();
            return rulesedit::Answer(owner.rules(), request,
                                     owner.folder().file(QStringLiteral("autorec.vnt")));
        });
        // A stop by signal saves like a normal close.
        QObject::connect(&quitOnSignals, &QuitOnSignals::quitRequested, &form,
                         [&form] { form.SaveForExit(); });
        form.show();

        if (headless) {
            out << "Vantrel runs headless (no display).\n"
                << "Profile: " << profile.configFolder() << '\n'
                << "Program folder: " << form.core().folder().path() << '\n'
                << "Listening on port " << form.core().settings().ServerPort() << ".\n"
                << "Serving auto-receive rules only; other requests are refused.\n"
                << "Stop it with Ctrl+C or SIGTERM." << Qt::endl;
        }
        return app.exec();
    } catch (const std::exception& e) {
        ShowError(headless, QStringLiteral("Vantrel"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowError(headless, QStringLiteral("Vantrel"), QString());
    }
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // A peer that goes away must end a write with an error, not the process.
    std::signal(SIGPIPE, SIG_IGN);

    const QList<QByteArray> arguments = ArgumentsAfterProgram(argc, argv);
    const commandline::Parsed command = commandline::Parse(arguments);
    if (command.command != commandline::Command::None) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream errors(stderr);
        if (command.command == commandline::Command::Send) {
            InstallHandOverMarks(app);
            const bool terminal = isatty(STDOUT_FILENO) != 0;
            std::function<bool(const QString&)> ask;
            if (terminal && isatty(STDIN_FILENO) != 0) {
                ask = [&errors](const QString& question) {
                    errors << question;
                    errors.flush();
                    QTextStream in(stdin);
                    const QString answer = in.readLine().trimmed().toLower();
                    return answer == QLatin1String("y") || answer == QLatin1String("yes");
                };
            }
            return commandlinesend::Run(Profile::FromEnvironment(), command.send, out, errors,
                                        terminal, ask);
        }
        if (command.command == commandline::Command::Rules)
            return rulesstart::Run(Profile::FromEnvironment(), command.rules, out, errors);
        return commandline::Run(command, Profile::FromEnvironment(), out, errors);
    }

    const QByteArray tail = handoff::Absolute(handoff::CommandLineTail(arguments));
    if (!tail.isEmpty()) {
        QCoreApplication app(argc, argv);
        QTextStream errors(stderr);
        return handoffstart::Run(Profile::FromEnvironment(), tail,
                                 QCoreApplication::applicationFilePath(), errors, {},
                                 WouldShowWindows());
    }
    return RunProgram(argc, argv);
}
