#pragma once

#include <QString>

namespace vantrel::bench {

// The two sides of the benchmark, each run in a process of its own so that CPU time and peak
// memory are per side. Both report on standard output, one line per event:
//   EV <name> <run> <monotonic ns> <process cpu ns> <user cpu ns> <system cpu ns>
// and at the end "HWM <peak resident KiB>"; a failure prints "ERROR <text>".

struct ReceiverArgs
{
    QString home;
    QString destination; // each run accepts into <destination>/run<n>/
    int runs = 1;
};
// Listens (prints "PORT <n>"), accepts every request as it comes and reports its stages:
// REQUEST, DATA (data header arrived), UNZIP (decompression started), DONE (on disk).
int RunReceiver(const ReceiverArgs& args);

struct SenderArgs
{
    QString home;
    QString trustAuthority; // the receiver's authority certificate
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;
    QString source;
    bool compression = true;
    int runs = 1;
};
// HANDOFF, SHOWN (first show done), SEND and SENT for each run. Between runs it waits for a
// line on standard input, then calls SendAgain on the completed transfer (the archive is
// complete by then) and sends again.
int RunSender(const SenderArgs& args);

} // namespace vantrel::bench
