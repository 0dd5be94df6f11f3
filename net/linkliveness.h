#pragma once

namespace vantrel {

// How a connection notices a peer that vanished without a word (its machine lost power, a
// cable was pulled, a link drops everything): the kernel probes a quiet connection and gives
// up on data the peer never acknowledges. No phase has a read deadline, so a person deciding
// on a request, a compressor building an archive or an idle tunnel never ends a connection
// whose peer is still there: its kernel answers every probe.
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

    // A silent peer is given up within about 45 s, so that a stalled transfer turns into a
    // resumable interruption in well under a minute on both sides: a reader hears nothing for
    // 15 s, then 6 probes 5 s apart go unanswered; a writer's unacknowledged data waits no
    // longer than the same 45 s. An outage of a few seconds (a wireless hand-over) ends
    // nothing. The price: a peer that is alive but keeps its receive window shut for 45 s
    // while we have data for it is given up too.
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
