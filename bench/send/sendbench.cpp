// Throughput of the send engine over loopback TLS: one raw and one compressed transfer of
// incompressible data to a receiver that only counts. Prints figures; asserts nothing.
//   send_bench [MiB]   (default 1024)
#include "core/base/rowref.h"
#include "core/base/transferlistmodel.h"
#include "core/base/transferservices.h"
#include "net/securechannel.h"
#include "send/sendtransfer.h"
#include "send/zipbridgeloader.h"
#include "stats/ratecounters.h"
#include "tests/send/scriptedreceiver.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace vantrel;

namespace {

// CPU seconds of the whole process (all threads): what the transfer costs on an idle machine.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int mib = argc > 1 ? std::atoi(argv[1]) : 1024;
    SecureChannel::Bind();
    auto zip = ZipBridgeLoader::Load(test::BuildFolder());
    test::TempFolder profile, peer, data;
    test::testcertificates::WriteProfileCertificates(profile.path());
    test::testcertificates::WriteServerFiles(peer.path(),
                                             test::testcertificates::SharedAuthority());
    QDir().mkpath(profile.file(QStringLiteral("Temp")));

    const QString source = data.file(QStringLiteral("random.bin"));
    {
        QFile file(source);
        file.open(QIODevice::WriteOnly);
        std::mt19937_64 random(5);
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < mib; ++i) {
            auto* words = reinterpret_cast<std::uint64_t*>(chunk.data());
            for (int w = 0; w < chunk.size() / 8; ++w)
                words[w] = random();
            file.write(chunk);
        }
    }

    RateCounters counters;
    TransferListModel uploads(TransferListModel::Kind::Uploads);
    TransferServices services;
    services.folder = ProgramFolder(profile.path());
    services.counters = &counters;
    services.zip = zip.get();
    services.ownNickName = [] { return QByteArrayLiteral("bench"); };
    services.ownServerPort = [] { return 12666; };

    double rawSeconds = 0;
    for (const bool compressed : {false, true}) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = CpuSeconds();
        SendTransfer transfer(services, source, RowRef{&uploads, uploads.InsertTop(nullptr)});
        transfer.FirstShow();
        transfer.SetCompression(compressed);
        test::ScriptedReceiver::Script script;
        script.keepData = false;
        test::ScriptedReceiver receiver(peer.path(), script);
        SendInputs inputs;
        inputs.hostText = receiver.hostText();
        transfer.Send(inputs);
        test::WaitUntil(
            [&] {
                return transfer.state() == SendTransfer::State::Completed ||
                       transfer.state() == SendTransfer::State::Broken;
            },
            600000);
        test::WaitUntil([&] { return receiver.finished(); }, 60000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const double cpu = CpuSeconds() - cpuBefore;
        if (!compressed)
            rawSeconds = seconds;
        const QString ratio = compressed
                                  ? QStringLiteral(", %1x raw").arg(seconds / rawSeconds, 0, 'f', 2)
                                  : QString();
        std::printf("%-10s %6d MiB in %7.2f s: %8.1f MB/s, %.2f CPU s on both sides%s (%s)\n",
                    compressed ? "compressed" : "raw", mib, seconds, mib * 1.048576 / seconds, cpu,
                    qPrintable(ratio), qPrintable(transfer.view().statusText));
        transfer.Close();
    }
    return 0;
}
