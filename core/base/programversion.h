#pragma once

namespace vantrel {

// The program's own version, shown as "Vantrel v%.2f" and compared with the update server's.
inline constexpr double ProgramVersion = 1.2;

} // namespace vantrel
