#pragma once

#include "core/base/soundplayer.h"

#include <vector>

namespace vantrel::test {

// Keeps every sound asked for, in order.
class RecordingSoundPlayer final : public SoundPlayer
{
public:
    void Play(Sound sound) override { played.push_back(sound); }
    int Count(Sound sound) const;
    std::vector<Sound> played;
};

} // namespace vantrel::test
