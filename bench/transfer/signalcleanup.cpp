#include "bench/transfer/signalcleanup.h"

#include <QFile>
#include <QStandardPaths>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <vector>

namespace vantrel::bench {

namespace {

constexpr int MaxProcesses = 8;
constexpr int MaxCommands = 8;
constexpr int MaxArguments = 8;

// Everything the handler touches is prepared beforehand in fixed storage: no allocation there.
struct Command
{
    volatile sig_atomic_t active = 0;
    std::vector<QByteArray> storage;
    std::array<char*, MaxArguments + 1> argv{};
};

volatile pid_t g_processes[MaxProcesses] = {};
Command g_commands[MaxCommands];

void OnSignal(int signal)
{
    for (Command& command : g_commands) {
        if (!command.active)
            continue;
        const pid_t child = ::fork();
        if (child == 0) {
            char* const environment[] = {nullptr};
            ::execve(command.argv[0], command.argv.data(), environment);
            ::_exit(127);
        }
        if (child > 0)
            ::waitpid(child, nullptr, 0);
    }
    for (volatile pid_t& pid : g_processes) {
        if (pid != 0)
            ::kill(pid, SIGTERM);
    }
    ::_exit(128 + signal);
}

} // namespace

void SignalCleanup::Install()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void SignalCleanup::AddProcess(pid_t pid)
{
    for (volatile pid_t& slot : g_processes) {
        if (slot == 0) {
            slot = pid;
            return;
        }
    }
}

void SignalCleanup::ForgetProcess(pid_t pid)
{
    for (volatile pid_t& slot : g_processes) {
        if (slot == pid)
            slot = 0;
    }
}

int SignalCleanup::AddCommand(const QStringList& command)
{
    if (command.isEmpty() || command.size() > MaxArguments)
        return -1;
    const QString program = QStandardPaths::findExecutable(command.front());
    if (program.isEmpty())
        return -1;
    for (int slot = 0; slot < MaxCommands; ++slot) {
        Command& c = g_commands[slot];
        if (c.active)
            continue;
        c.storage.clear();
        c.storage.push_back(QFile::encodeName(program));
        for (const QString& argument : command.mid(1))
            c.storage.push_back(argument.toLocal8Bit());
        c.argv.fill(nullptr);
        for (std::size_t i = 0; i < c.storage.size(); ++i)
            c.argv[i] = c.storage[i].data();
        c.active = 1;
        return slot;
    }
    return -1;
}

void SignalCleanup::ForgetCommand(int slot)
{
    if (slot >= 0 && slot < MaxCommands)
        g_commands[slot].active = 0;
}

} // namespace vantrel::bench
