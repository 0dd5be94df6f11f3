#include "ui/eventsoundplayer.h"

#include "core/soundsynth.h"

#include <QFile>
#include <QFileInfo>

#include <canberra.h>

namespace vantrel {

EventSoundPlayer::EventSoundPlayer(ProgramFolder folder)
    : m_folder(std::move(folder)), m_play([this](const QString& path) { PlayThroughDesktop(path); })
{
}

EventSoundPlayer::EventSoundPlayer(ProgramFolder folder, PlayFile play)
    : m_folder(std::move(folder)), m_play(std::move(play))
{
}

EventSoundPlayer::~EventSoundPlayer()
{
    if (m_context)
        ca_context_destroy(m_context);
}

void EventSoundPlayer::Play(Sound sound)
{
    const QString file = m_folder.soundsFolder() + QLatin1Char('/') + soundsynth::FileName(sound);
    if (QFileInfo(file).isFile())
        m_play(file);
}

void EventSoundPlayer::PlayThroughDesktop(const QString& path)
{
    if (!m_context) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Vantrel",
                                CA_PROP_APPLICATION_ID, "vantrel", CA_PROP_APPLICATION_ICON_NAME,
                                "vantrel", nullptr);
    }
    // Asynchronous: the sound service (or libcanberra's own thread) plays it; an error
    // means no sound, and nothing else.
    const QByteArray name = QFile::encodeName(path);
    ca_context_play(m_context, 0, CA_PROP_MEDIA_FILENAME, name.constData(), CA_PROP_MEDIA_ROLE,
                    "event", CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
}

} // namespace vantrel
