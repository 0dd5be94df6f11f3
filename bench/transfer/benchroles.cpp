#include "bench/transfer/benchroles.h"

#include "bench/transfer/benchdata.h"
#include "core/installation.h"
#include "receive/receivetransfer.h"
#include "send/sendinputs.h"
#include "send/sendtransfer.h"
#include "tests/support/enginecopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <set>

namespace vantrel::bench {

namespace {

using test::EngineCopy;

void Event(const char* name, int run)
{
    std::printf("EV %s %d %lld %lld %lld %lld\n", name, run, static_cast<long long>(MonotonicNs()),
                static_cast<long long>(ProcessCpuNs()), static_cast<long long>(UserCpuNs()),
                static_cast<long long>(SystemCpuNs()));
    std::fflush(stdout);
}

void Finish(int code)
{
    std::printf("HWM %ld\n", PeakResidentKb());
    std::fflush(stdout);
    QCoreApplication::exit(code);
}

void Error(const QString& text)
{
    std::printf("ERROR %s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
    Finish(1);
}

} // namespace

int RunReceiver(const ReceiverArgs& args)
{
    EngineCopy::Options options;
    options.nickName = QByteArrayLiteral("Receiver");
    options.home = args.home;
    EngineCopy copy(options);
    if (!copy.ok()) {
        std::printf("ERROR %s\n", copy.error().toLocal8Bit().constData());
        return 1;
    }
    std::printf("PORT %d\n", copy.port());
    std::fflush(stdout);

    int opened = 0;
    int done = 0;
    QObject::connect(&copy, &EngineCopy::receiveOpened, &copy, [&](ReceiveTransfer* transfer) {
        const int run = ++opened;
        Event("REQUEST", run);
        const QString folder = args.destination + QStringLiteral("/run%1").arg(run);
        QDir().mkpath(folder);
        auto seen = std::make_shared<std::set<ReceiveTransfer::State>>();
        QPointer<ReceiveTransfer> guarded(transfer);
        QObject::connect(transfer, &ReceiveTransfer::viewChanged, transfer, [=, &done] {
            const ReceiveTransfer::State state = guarded->state();
            if (!seen->insert(state).second)
                return;
            switch (state) {
            case ReceiveTransfer::State::Receiving:
                Event("DATA", run);
                break;
            case ReceiveTransfer::State::Decompressing:
                Event("UNZIP", run);
                break;
            case ReceiveTransfer::State::Completed:
                Event("DONE", run);
                // Closed once this signal has returned.
                QTimer::singleShot(0, guarded, [guarded] { guarded->Close(); });
                if (++done == args.runs)
                    QTimer::singleShot(0, [] { Finish(0); });
                break;
            case ReceiveTransfer::State::Interrupted:
            case ReceiveTransfer::State::Failed:
                Error(
                    QStringLiteral("receive run %1: %2").arg(run).arg(guarded->view().statusText));
                break;
            default:
                break;
            }
        });
        transfer->Accept(folder + QLatin1Char('/') + transfer->proposedName());
    });
    return QCoreApplication::exec();
}

int RunSender(const SenderArgs& args)
{
    EngineCopy::Options options;
    options.nickName = QByteArrayLiteral("Sender");
    options.home = args.home;
    EngineCopy copy(options);
    if (!copy.ok()) {
        std::printf("ERROR %s\n", copy.error().toLocal8Bit().constData());
        return 1;
    }
    if (!installation::TrustAuthority(copy.folder(), args.trustAuthority).ok) {
        std::printf("ERROR cannot trust %s\n", args.trustAuthority.toLocal8Bit().constData());
        return 1;
    }
    SendInputs inputs;
    inputs.hostText = QStringLiteral("%1:%2").arg(args.host).arg(args.port);

    int run = 1;
    Event("HANDOFF", run);
    SendTransfer* transfer = copy.OpenSend(args.source, args.compression);
    Event("SHOWN", run);
    QPointer<SendTransfer> guarded(transfer);

    // The next run waits for the orchestrator: the receiver must have finished the last one.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    input.setEnabled(false);
    QObject::connect(&input, &QSocketNotifier::activated, &copy, [&] {
        char line[64];
        if (::read(STDIN_FILENO, line, sizeof line) <= 0)
            return;
        input.setEnabled(false);
        guarded->SendAgain();
        Event("SEND", run);
        guarded->Send(inputs);
    });

    bool reported = false;
    QObject::connect(transfer, &SendTransfer::viewChanged, transfer, [&] {
        const SendTransfer::State state = guarded->state();
        if (state != SendTransfer::State::Completed) {
            reported = false;
            if (state == SendTransfer::State::Broken || state == SendTransfer::State::Refused ||
                (state == SendTransfer::State::Preparing &&
                 guarded->view().statusColour == SendView::Colour::Failure))
                Error(QStringLiteral("send run %1: %2").arg(run).arg(guarded->view().statusText));
            return;
        }
        if (reported)
            return;
        reported = true;
        Event("SENT", run);
        if (run == args.runs) {
            QTimer::singleShot(0, [] { Finish(0); });
            return;
        }
        ++run;
        input.setEnabled(true);
    });

    Event("SEND", run);
    transfer->Send(inputs);
    return QCoreApplication::exec();
}

} // namespace vantrel::bench
