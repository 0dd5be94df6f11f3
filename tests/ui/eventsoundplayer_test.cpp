#include "ui/eventsoundplayer.h"

#include "core/soundsynth.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QDir>

namespace vantrel {
namespace {

// Which files a player hands on: only sound files that exist, each play on its own.
TEST(EventSoundPlayerTest, PlaysOnlyTheSoundFilesThatExist)
{
    test::TempFolder temp;
    QStringList played;
    EventSoundPlayer player{ProgramFolder(temp.path()),
                            [&played](const QString& path) { played << path; }};
    // No "sounds" folder at all.
    for (Sound sound : {Sound::NewRequest, Sound::Complete, Sound::Error})
        player.Play(sound);
    EXPECT_TRUE(played.isEmpty());

    // A folder where a file is expected is no sound either.
    ASSERT_TRUE(QDir(temp.path()).mkpath(QStringLiteral("sounds/error.wav")));
    temp.write(QStringLiteral("sounds/complete.wav"), soundsynth::Wave(Sound::Complete));
    temp.write(QStringLiteral("sounds/newreq.wav"), soundsynth::Wave(Sound::NewRequest));
    player.Play(Sound::Error);
    player.Play(Sound::Complete);
    player.Play(Sound::NewRequest);
    player.Play(Sound::Complete);
    const QString complete = temp.file(QStringLiteral("sounds/complete.wav"));
    EXPECT_EQ(played, (QStringList{complete, temp.file(QStringLiteral("sounds/newreq.wav")),
                                   complete}));
}

// Through the real sound library, whatever this machine has (a sound service, a device, or
// neither): a broken file or a missing service is silence, never an error, and the player
// goes away cleanly after plays still under way.
TEST(EventSoundPlayerTest, RealPlaysAreSilentWhereTheyCannotSound)
{
    test::TempFolder temp;
    temp.write(QStringLiteral("sounds/complete.wav"), soundsynth::Wave(Sound::Complete));
    temp.write(QStringLiteral("sounds/error.wav"), QByteArray("RIFF....WAVEnot really"));
    for (const char* driver : {"", "no-such-driver"}) {
        SCOPED_TRACE(driver);
        if (*driver)
            qputenv("CANBERRA_DRIVER", driver);
        else
            qunsetenv("CANBERRA_DRIVER");
        EventSoundPlayer player{ProgramFolder(temp.path())};
        for (int i = 0; i < 3; ++i) {
            player.Play(Sound::Complete);
            player.Play(Sound::Error);
            player.Play(Sound::NewRequest); // missing
        }
    }
    qunsetenv("CANBERRA_DRIVER");
}

} // namespace
} // namespace vantrel
