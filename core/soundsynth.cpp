#include "core/soundsynth.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantrel::soundsynth {

namespace {

struct Note
{
    double startSeconds;
    double lengthSeconds;
    double fromHz;
    double toHz; // a glide when different from fromHz
    bool square; // harsher timbre for the error sound
};

std::vector<Note> NotesOf(Sound sound)
{
    switch (sound) {
    case Sound::NewRequest:
        return {{0.00, 0.12, 880.0, 880.0, false}, {0.13, 0.18, 1318.5, 1318.5, false}};
    case Sound::Complete:
        return {{0.00, 0.12, 523.3, 523.3, false},
                {0.11, 0.12, 659.3, 659.3, false},
                {0.22, 0.30, 784.0, 784.0, false}};
    case Sound::Error:
        return {{0.00, 0.35, 330.0, 165.0, true}};
    }
    return {};
}

void AppendLe16(QByteArray& out, std::uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void AppendLe32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

std::vector<std::int16_t> Render(const std::vector<Note>& notes)
{
    double end = 0;
    for (const Note& n : notes)
        end = std::max(end, n.startSeconds + n.lengthSeconds);
    std::vector<double> mix(static_cast<std::size_t>(end * SampleRate) + 1, 0.0);
    const double pi = std::acos(-1.0);
    for (const Note& n : notes) {
        const auto first = static_cast<std::size_t>(n.startSeconds * SampleRate);
        const auto count = static_cast<std::size_t>(n.lengthSeconds * SampleRate);
        const std::size_t fade = SampleRate / 200; // 5 ms ramps: no clicks
        double phase = 0;
        for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
            const double t = double(i) / double(count);
            const double hz = n.fromHz + (n.toHz - n.fromHz) * t;
            phase += 2 * pi * hz / SampleRate;
            double v = std::sin(phase);
            if (n.square)
                v = (v >= 0 ? 0.6 : -0.6) + 0.4 * v;
            double envelope = std::exp(-2.5 * t);
            if (i < fade)
                envelope *= double(i) / fade;
            if (count - i < fade)
                envelope *= double(count - i) / fade;
            mix[first + i] += 0.45 * v * envelope;
        }
    }
    std::vector<std::int16_t> samples(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(mix[i], -1.0, 1.0) * 32000));
    return samples;
}

} // namespace

QString FileName(Sound sound)
{
    switch (sound) {
    case Sound::NewRequest:
        return QStringLiteral("newreq.wav");
    case Sound::Complete:
        return QStringLiteral("complete.wav");
    case Sound::Error:
        return QStringLiteral("error.wav");
    }
    return {};
}

QByteArray Wave(Sound sound)
{
    const std::vector<std::int16_t> samples = Render(NotesOf(sound));
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    QByteArray out;
    out.reserve(int(44 + dataBytes));
    out.append("RIFF", 4);
    AppendLe32(out, 36 + dataBytes);
    out.append("WAVE", 4);
    out.append("fmt ", 4);
    AppendLe32(out, 16);
    AppendLe16(out, 1); // PCM
    AppendLe16(out, 1); // mono
    AppendLe32(out, SampleRate);
    AppendLe32(out, SampleRate * 2); // bytes per second
    AppendLe16(out, 2);              // block align
    AppendLe16(out, 16);             // bits per sample
    out.append("data", 4);
    AppendLe32(out, dataBytes);
    for (std::int16_t s : samples)
        AppendLe16(out, static_cast<std::uint16_t>(s));
    return out;
}

} // namespace vantrel::soundsynth
