#pragma once

#include <QString>
#include <QStringList>

namespace vantrel {

// Removes what receives left under their staging names (StagingName) when their copy was
// killed or crashed: a copy that runs removes its own staging itself. Only names of that exact
// form whose process no longer exists go; the staging of a copy still running (this one, or
// another profile's) stays. Nothing is followed through a symbolic link.
class StagingSweep
{
public:
    // The entries directly in each folder (not below them); returns the paths removed, each
    // also logged. Missing or unreadable folders are passed over.
    static QStringList Sweep(const QStringList& folders);

    // Removes a folder and everything in it without following a symbolic link (a link inside
    // is removed itself, never what it points to); folders without owner rights are made
    // removable first. False when something stayed.
    static bool RemoveTree(const QString& path);
};

} // namespace vantrel
