#pragma once

#include <QStringList>

namespace vantrel {

class ProgramFolder;

// The user manual that ships inside the program: "VNTHELP.html" in the program folder with
// its pictures in "manual/". Written at installation and refreshed at every start, so that
// the manual always describes the program that runs.
namespace manualfiles {

inline const QString ManualFile = QStringLiteral("VNTHELP.html");

// Writes the files that are missing or differ from the program's own; returns the names of
// those it could not write.
QStringList Refresh(const ProgramFolder& folder);

} // namespace manualfiles

} // namespace vantrel
