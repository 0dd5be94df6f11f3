#pragma once

namespace vantrel {

enum class Sound { NewRequest, Complete, Error };

// Plays the program's sounds ("sounds/newreq.wav", "complete.wav", "error.wav") without
// waiting. Engines are given one; the windows supply a real player, tests a recorder.
// Called on the UI thread only.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(Sound sound) = 0;
};

} // namespace vantrel
