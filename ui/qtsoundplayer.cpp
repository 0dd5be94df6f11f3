#include "ui/qtsoundplayer.h"

#include "core/soundsynth.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace vantrel {

QtSoundPlayer::QtSoundPlayer(ProgramFolder folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::Play(Sound sound)
{
    const QString file = m_folder.soundsFolder() + QLatin1Char('/') + soundsynth::FileName(sound);
    if (!QFileInfo(file).isFile() || QMediaDevices::audioOutputs().isEmpty())
        return;
    QSoundEffect*& effect = m_effects[static_cast<std::size_t>(sound)];
    if (!effect) {
        // Kept once loaded: the file is decoded once, and play() returns at once.
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(file));
    }
    effect->play();
}

} // namespace vantrel
