// Writes the demo bank that ships with JBX Maker: ten short sounds made
// here from nothing but arithmetic, so the bank carries no one else's audio.
// The output depends on nothing but this file: no clock, fixed noise seeds.
//
// Usage: makedemobank OUT.jbx

#include "bank/bankwriter.h"
#include "resources/synthwave.h"
#include "bank/soundbank.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

using jbx::Bytes;

constexpr int kSampleRate = 11025;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Every sound fades in and out over this long, so none starts or ends
// with a click.
constexpr double kEdgeSeconds = 0.003;

using Wave = std::vector<double>;   // samples in -1..1

// A deterministic white-noise source (xorshift32).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return double(state_) / 2147483647.5 - 1.0;
    }

private:
    std::uint32_t state_;
};

// Samples value(t) for t in seconds over the given length.
Wave Render(double seconds, const std::function<double(double t)>& value)
{
    const auto count = std::size_t(seconds * kSampleRate);
    Wave wave(count);
    for (std::size_t i = 0; i < count; ++i)
        wave[i] = value(double(i) / kSampleRate);
    return wave;
}

// A tone whose frequency moves over time; the phase is accumulated so a
// sweep stays continuous.
Wave Sweep(double seconds, const std::function<double(double t)>& frequency,
    const std::function<double(double t)>& envelope, bool square = false)
{
    double phase = 0;
    return Render(seconds, [&](double t) {
        const double s = std::sin(phase);
        phase += kTwoPi * frequency(t) / kSampleRate;
        return envelope(t) * (square ? (s >= 0 ? 0.6 : -0.6) : s);
    });
}

double Decay(double t, double timeConstant)
{
    return std::exp(-t / timeConstant);
}

Wave Beep()
{
    return Sweep(0.2, [](double) { return 880.0; }, [](double) { return 0.7; });
}

Wave Chirp()
{
    return Sweep(0.35, [](double t) { return 300 + 6000 * t; }, [](double) { return 0.7; });
}

Wave Drop()
{
    return Sweep(0.35, [](double t) { return 1600 * std::pow(180.0 / 1600, t / 0.35); },
        [](double) { return 0.7; });
}

Wave Kick()
{
    return Sweep(0.3, [](double t) { return 50 + 110 * Decay(t, 0.04); },
        [](double t) { return 0.95 * Decay(t, 0.12); });
}

Wave Snare()
{
    Noise noise(0x5eed0001);
    return Render(0.22, [&](double t) {
        return Decay(t, 0.06) * (0.6 * noise.next() + 0.4 * std::sin(kTwoPi * 190 * t));
    });
}

Wave HiHat()
{
    // The difference of successive noise samples keeps only the hiss.
    Noise noise(0x5eed0002);
    double previous = 0;
    return Render(0.09, [&](double t) {
        const double n = noise.next();
        const double high = (n - previous) / 2;
        previous = n;
        return 0.9 * Decay(t, 0.02) * high;
    });
}

Wave Buzz()
{
    return Sweep(0.3, [](double) { return 110.0; }, [](double) { return 0.8; }, true);
}

Wave Zap()
{
    return Sweep(0.15, [](double t) { return 3000 * std::pow(120.0 / 3000, t / 0.15); },
        [](double) { return 0.8; }, true);
}

Wave Bell()
{
    // Inharmonic partials, the higher ones dying sooner.
    struct Partial {
        double ratio, level, decay;
    };
    constexpr Partial partials[] = {{1.0, 0.5, 0.25}, {2.76, 0.25, 0.12}, {5.4, 0.15, 0.06}, {8.93, 0.1, 0.03}};
    return Render(0.6, [&](double t) {
        double v = 0;
        for (const Partial& p : partials)
            v += p.level * Decay(t, p.decay) * std::sin(kTwoPi * 520 * p.ratio * t);
        return v;
    });
}

Wave Tada()
{
    // C, E and G in turn, then the three together; each note fades in and
    // out on its own so the changes do not click.
    constexpr double notes[] = {523.25, 659.25, 783.99};
    constexpr double noteSeconds = 0.1;
    auto fade = [](double local, double length) {
        return std::min({1.0, local / kEdgeSeconds, (length - local) / kEdgeSeconds});
    };
    return Render(0.5, [&](double t) {
        const int k = int(t / noteSeconds);
        if (k < 3) {
            const double local = t - k * noteSeconds;
            return 0.7 * fade(local, noteSeconds) * std::sin(kTwoPi * notes[k] * local);
        }
        const double local = t - 3 * noteSeconds;
        double v = 0;
        for (const double f : notes)
            v += 0.25 * std::sin(kTwoPi * f * local);
        return v * std::min(1.0, local / kEdgeSeconds) * Decay(local, 0.1);
    });
}

void FadeEdges(Wave& wave)
{
    const auto edge = std::size_t(kEdgeSeconds * kSampleRate);
    for (std::size_t i = 0; i < edge && i < wave.size(); ++i) {
        const double gain = double(i) / double(edge);
        wave[i] *= gain;
        wave[wave.size() - 1 - i] *= gain;
    }
}

// An 8-bit mono PCM WAVE file image, its edges faded against clicks.
Bytes WaveImage(Wave wave)
{
    FadeEdges(wave);
    return jbx::EightBitMonoWave(wave, kSampleRate);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: makedemobank OUT.jbx\n");
        return 2;
    }

    struct DemoSound {
        const char* name;   // at most 8 characters: a lump name
        Wave (*make)();
    };
    constexpr DemoSound sounds[jbx::kSlotCount] = {
        {"beep", Beep}, {"chirp", Chirp}, {"drop", Drop}, {"kick", Kick}, {"snare", Snare},
        {"hihat", HiHat}, {"buzz", Buzz}, {"zap", Zap}, {"bell", Bell}, {"tada", Tada},
    };

    jbx::SoundBank bank;
    bank.bankTitle = "demo.jbx";
    for (int n = 1; n <= jbx::kSlotCount; ++n) {
        const DemoSound& sound = sounds[n - 1];
        const Bytes image = WaveImage(sound.make());
        jbx::SoundSlot& slot = bank.slot(n);
        slot.name = sound.name;
        slot.size = std::int32_t(image.size());
        slot.data = jbx::MakeSoundData(image.size() + 1);
        std::copy(image.begin(), image.end(), slot.data->begin());
        (*slot.data)[image.size()] = 0x80;   // the pad byte, as after a load
    }
    bank.credits.author = "JBX Maker";
    bank.credits.description = "Ten short sounds synthesised for trying out JBX Maker.";
    bank.credits.dateFinished = "1 June 2025";
    bank.creditsConfirmed = true;

    if (jbx::WriteBankFile(bank, argv[1]) != jbx::WriteFileResult::Written) {
        std::fprintf(stderr, "makedemobank: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
