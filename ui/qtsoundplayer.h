#pragma once

#include "core/base/programfolder.h"
#include "core/base/soundplayer.h"

#include <QObject>

#include <array>

class QSoundEffect;

namespace vantrel {

// Plays "sounds/*.wav" of the program folder through Qt Multimedia, without waiting. A missing
// file, or a system without an audio output, plays nothing.
class QtSoundPlayer final : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit QtSoundPlayer(ProgramFolder folder, QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void Play(Sound sound) override;

private:
    ProgramFolder m_folder;
    std::array<QSoundEffect*, 3> m_effects{};
};

} // namespace vantrel
