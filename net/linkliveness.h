#pragma once

namespace vantrel {

// How a connection notices a peer that vanished without a word (its machine lost power, a
// cable pulled, a link that drops everything): the kernel probes an idle connection and
// gives up on data the peer never acknowledges. Nothing here reads the clock of a phase, so
// a person deciding on a request, a compressor building an archive or an idle tunnel whose
// peer still answers at TCP level is never cut off.
class LinkLiveness
{
public:
    struct Figures
    {
        // Keepalive: silence before the first probe, the time between probes, and how
        // many unanswered probes end the connection.
        int idleSeconds;
        int intervalSeconds;
        int probes;
        // The longest time written data may stay unacknowledged (a blocked write to a
        // vanished peer ends then); it also caps the keepalive's give-up time.
        int userTimeoutMs;
    };

    // A silent peer is given up within about 45 s, well under the minute a user waits for
    // a stalled transfer to turn into a resumable interruption: an idle reader hears
    // nothing for 15 s, then 6 probes 5 s apart go unanswered; a writer's unacknowledged
    // data waits no longer than the same 45 s. Short outages (a Wi-Fi hand-over, a router
    // restart) stay well inside that and do not end a transfer. 45 s is also the longest
    // a peer that is alive may hold its receive window shut while we have data to send.
    static constexpr Figures Standard{15, 5, 6, 45000};

    // Turns the probes and the write limit on for one connected TCP socket, with the
    // current figures. False when the system refused any of them (the connection works
    // on, only without the early notice).
    static bool Watch(int socketFd);

    // The figures later Watch calls use; Standard unless changed. Tests shorten them to
    // observe many probe rounds in a few seconds.
    static Figures Current();
    static void Use(const Figures& figures);
};

} // namespace vantrel
