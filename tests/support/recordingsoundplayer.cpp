#include "tests/support/recordingsoundplayer.h"

#include <algorithm>

namespace vantrel::test {

int RecordingSoundPlayer::Count(Sound sound) const
{
    return static_cast<int>(std::count(played.begin(), played.end(), sound));
}

} // namespace vantrel::test
