#pragma once

#include "core/base/hubmessages.h"
#include "core/base/programfolder.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace vantrel {

class DynDnsBook;
class RateCounters;
class RecentHosts;
class ResumeCache;
class SoundPlayer;
class TlsSession;
class ArchiveUnpacker;
class ZipBridgeLoader;

// What one running copy lends each of its transfers. Everything here outlives the transfers.
struct TransferServices
{
    ProgramFolder folder;
    RateCounters* counters = nullptr;
    SoundPlayer* sounds = nullptr;
    ZipBridgeLoader* zip = nullptr;            // send side: compression
    const ArchiveUnpacker* unpacker = nullptr; // receive side: unpacking
    ResumeCache* resumes = nullptr;            // receive side
    RecentHosts* recentHosts = nullptr;        // send side
    DynDnsBook* book = nullptr;                // send side
    HubInbox* hub = nullptr;                   // takes the transfers' closing and resume-list news
    std::function<QByteArray()> ownNickName;   // the NickName setting now (UTF-8)
    std::function<int()> ownServerPort;        // the port the listener took at start
    // Takes the session of the newest open Incoming tunnel from `host` (tunnel send); none
    // when there is no such tunnel. Called on the UI thread.
    std::function<std::unique_ptr<TlsSession>(const QString& host)> takeTunnel;
};

} // namespace vantrel
