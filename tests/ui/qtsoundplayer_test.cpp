#include "ui/qtsoundplayer.h"

#include "core/soundsynth.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDir>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace vantrel {
namespace {

QList<QSoundEffect*> Effects(const QtSoundPlayer& player)
{
    return player.findChildren<QSoundEffect*>();
}

TEST(QtSoundPlayerTest, MissingFilesLoadNothing)
{
    test::TempFolder temp;
    QtSoundPlayer player{ProgramFolder(temp.path())};
    // No "sounds" folder at all.
    for (Sound sound : {Sound::NewRequest, Sound::Complete, Sound::Error})
        player.Play(sound);
    // A folder where a file is expected is no sound either.
    ASSERT_TRUE(QDir(temp.path()).mkpath(QStringLiteral("sounds/error.wav")));
    player.Play(Sound::Error);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Effects(player).isEmpty());
}

TEST(QtSoundPlayerTest, ExistingFilesAreLoadedOnceEachWhenThereIsAnOutput)
{
    test::TempFolder temp;
    QtSoundPlayer player{ProgramFolder(temp.path())};
    temp.write(QStringLiteral("sounds/complete.wav"), soundsynth::Wave(Sound::Complete));
    // Not a wave at all: loading it fails inside Qt, never in the caller.
    temp.write(QStringLiteral("sounds/error.wav"), QByteArray("RIFF....WAVEnot really"));

    player.Play(Sound::Complete);
    player.Play(Sound::Error);
    player.Play(Sound::Complete);
    player.Play(Sound::NewRequest); // missing
    QCoreApplication::processEvents();

    QList<QUrl> sources;
    for (const QSoundEffect* effect : Effects(player))
        sources << effect->source();
    if (QMediaDevices::audioOutputs().isEmpty()) {
        // Without an audio output nothing is loaded.
        EXPECT_TRUE(sources.isEmpty());
        return;
    }
    // The second play of a sound reuses its effect.
    EXPECT_EQ(sources,
              (QList<QUrl>{QUrl::fromLocalFile(temp.file(QStringLiteral("sounds/complete.wav"))),
                           QUrl::fromLocalFile(temp.file(QStringLiteral("sounds/error.wav")))}));
}

} // namespace
} // namespace vantrel
