#pragma once

#include "core/base/soundplayer.h"

namespace vantrel {

// Plays nothing: for a copy started without sounds.
class SilentSoundPlayer final : public SoundPlayer
{
public:
    void Play(Sound) override {}
};

} // namespace vantrel
