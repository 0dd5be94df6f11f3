#pragma once

#include "core/base/programfolder.h"
#include "core/base/soundplayer.h"

#include <QString>

#include <functional>

struct ca_context;

namespace vantrel {

// Plays "sounds/*.wav" of the program folder as the desktop plays its event sounds
// (libcanberra, through PulseAudio or ALSA), without waiting. A missing file plays nothing;
// a play that fails (no sound service or device, a broken file) is silent.
class EventSoundPlayer final : public SoundPlayer
{
public:
    // Hands one existing sound file to whatever plays it; tests record instead of playing.
    using PlayFile = std::function<void(const QString& path)>;

    explicit EventSoundPlayer(ProgramFolder folder);
    EventSoundPlayer(ProgramFolder folder, PlayFile play);
    ~EventSoundPlayer() override;
    EventSoundPlayer(const EventSoundPlayer&) = delete;
    EventSoundPlayer& operator=(const EventSoundPlayer&) = delete;

    void Play(Sound sound) override;

private:
    void PlayThroughDesktop(const QString& path);

    ProgramFolder m_folder;
    PlayFile m_play;
    // Opened at the first sound, so that a copy that never plays never connects to the
    // sound service.
    ca_context* m_context = nullptr;
};

} // namespace vantrel
