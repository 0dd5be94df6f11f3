#pragma once

namespace vantrel::test {

// A TCP port on 127.0.0.1 that nothing listened on a moment ago, for a program started by
// the test to listen on; 0 when none could be found.
int FreePort();

} // namespace vantrel::test
