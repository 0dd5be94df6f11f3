#pragma once

#include <QByteArray>
#include <QString>

class QTextStream;

namespace vantrel {

class Profile;

// A start with a path: hands the path to the running copy of the profile (starting one when
// none runs) through the hand-off file, and ends. Never becomes the instance itself. Starts
// that run together take turns (Profile::handOffTurnFile), from looking for the copy until it
// has read the path: each path arrives once, and only the first start starts a copy.
namespace handoffstart {

struct Timing
{
    int polls = 10;      // looks for a freshly started copy this often...
    int pollGapMs = 100; // ...this far apart
    // Starts started together take turns; each waits at most this long for its turn...
    int turnWaitMs = 60000;
    // ...and then for the copy to read its path (a copy just started answers once its main
    // window exists).
    int deliveryWaitMs = 30000;
};

// The process's exit code: 0 when the path was handed off; otherwise `errors` says why.
// Without `display` no copy is started: it would run headless, and a headless copy takes no
// hand-offs.
int Run(const Profile& profile, const QByteArray& path, const QString& executable,
        QTextStream& errors, Timing timing = {}, bool display = true);

} // namespace handoffstart

} // namespace vantrel
