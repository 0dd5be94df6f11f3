#pragma once

namespace vantrel {

// The program's own version, shown as "Vantrel v%.2f" and compared with the update server's.
// It comes from the build, which gives the package the same number.
inline constexpr double ProgramVersion = VANTREL_VERSION;

} // namespace vantrel
