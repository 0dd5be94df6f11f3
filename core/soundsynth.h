#pragma once

#include "core/base/soundplayer.h"

#include <QByteArray>
#include <QString>

namespace vantrel {

// The program's three sounds, made in code at installation: short 16-bit mono PCM .wav files
// that are told apart by ear (a rising two-tone chime, a major arpeggio, a falling buzz).
namespace soundsynth {

inline constexpr int SampleRate = 22050;

// The file name below "sounds/" ("newreq.wav", "complete.wav", "error.wav").
QString FileName(Sound sound);
// A complete RIFF/WAVE file.
QByteArray Wave(Sound sound);

} // namespace soundsynth

} // namespace vantrel
