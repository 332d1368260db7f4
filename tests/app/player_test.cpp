// The player against a real sound server: what it plays is recorded from
// the server's null sink and measured.

#include "app/soundplayer.h"
#include "tests/app/soundcheck.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace jbx::testing {
namespace {

// One server and one application for the whole process: Qt Multimedia finds
// its sound server once, so the server must be up before the first sound.
class SoundServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        server_ = std::make_unique<TestAudioServer>();
        started_ = server_->start();
        if (started_)
            baselineClients_ = server_->clientCount();
    }

    void TearDown() override
    {
        server_.reset();
        app_.reset();
    }

    bool started() const { return started_; }
    const TestAudioServer& server() const { return *server_; }
    int baselineClients() const { return baselineClients_; }

private:
    int argc_ = 1;
    char name_[16] = "player_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<TestAudioServer> server_;
    bool started_ = false;
    int baselineClients_ = -1;
};

SoundServerEnvironment* const environment = static_cast<SoundServerEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment));

// A sound cut short loses its last windows; one that stutters gains a few
// that sound partly, so the two sides have different margins.
void ExpectLasts(double heardSeconds, double seconds)
{
    EXPECT_GE(heardSeconds, seconds - 2 * kWindowSeconds) << "the sound was cut short";
    EXPECT_LE(heardSeconds, seconds + 5 * kWindowSeconds) << "more was heard than the sound holds";
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!environment->started())
            GTEST_SKIP() << "no sound server to play to and record from: "
                         << environment->server().failure();
    }

    // Runs scenario while the sink's monitor is recorded, lets the player
    // finish (at most finishMs), and returns the recording's window pitches.
    std::vector<double> Record(const std::function<void()>& scenario, int finishMs = 5000)
    {
        MonitorRecording recording;
        if (!recording.start(folder_.path())) {
            ADD_FAILURE() << "parec did not start recording";
            return {};
        }
        scenario();
        EXPECT_TRUE(SpinUntil([this] { return !player_.isPlaying(); }, finishMs))
            << "the sound did not end in time";
        return WindowPitches(recording.stop(), MonitorRecording::kRate);
    }

    static SoundData Share(Bytes bytes) { return std::make_shared<Bytes>(std::move(bytes)); }

    TempDir folder_;
    SoundPlayer player_;
};

// Telling only in a process where nothing has played yet; CTest runs every
// case in a process of its own.
TEST_F(PlayerTest, OpensTheOutputOnlyWhenTheFirstSoundPlays)
{
    const int before = environment->server().clientCount();
    if (before != environment->baselineClients())
        GTEST_SKIP() << "an earlier test in this process has already opened the output";

    SoundPlayer player;
    Spin(100);
    EXPECT_EQ(environment->server().clientCount(), before) << "a player that has played nothing is connected";

    player.play(Share(ToneWave(22050, 1, 8, 440, 0.1)));
    EXPECT_GT(environment->server().clientCount(), before);
}

struct ToneCase {
    const char* name;
    int rate;
    int channels;
    int bits;
};

void PrintTo(const ToneCase& tone, std::ostream* out)
{
    *out << tone.name;
}

class PlayerToneTest : public PlayerTest, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(PlayerToneTest, PlaysTheWholeSoundAtItsPitch)
{
    const ToneCase& tone = GetParam();
    constexpr double kSeconds = 0.6;
    const std::vector<double> pitches = Record([&] {
        player_.play(Share(ToneWave(tone.rate, tone.channels, tone.bits, 440, kSeconds)));
        EXPECT_TRUE(player_.isPlaying());
    });

    ExpectLasts(AudibleSeconds(pitches), kSeconds);
    EXPECT_NEAR(MedianPitch(pitches), 440, 30);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerToneTest,
    ::testing::Values(
        ToneCase{"Mono8Bit22050", 22050, 1, 8},
        ToneCase{"Stereo16Bit48000", 48000, 2, 16},
        ToneCase{"Mono16Bit11025", 11025, 1, 16}),
    [](const ::testing::TestParamInfo<ToneCase>& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, NewSoundReplacesThePlayingOne)
{
    const std::vector<double> pitches = Record([&] {
        player_.play(Share(ToneWave(44100, 1, 16, 440, 2.0)));
        Spin(400);
        player_.play(Share(ToneWave(44100, 1, 16, 880, 0.4)));
    });

    const auto isHigh = [](double p) { return p > 660; };
    const auto isLow = [](double p) { return p > 0 && p <= 660; };
    const auto firstHigh = std::find_if(pitches.begin(), pitches.end(), isHigh);
    ASSERT_NE(firstHigh, pitches.end()) << "the second sound was not heard";

    const auto highWindows = std::count_if(pitches.begin(), pitches.end(), isHigh);
    ExpectLasts(double(highWindows) * kWindowSeconds, 0.4);
    // A window or two may straddle the change; the rest of the first sound
    // (well over a second) must not follow.
    EXPECT_LE(std::count_if(firstHigh, pitches.end(), isLow), 2) << "the first sound went on after the second began";
    EXPECT_NEAR(double(std::count_if(pitches.begin(), firstHigh, isLow)) * kWindowSeconds, 0.4, 0.2)
        << "the first sound should have played until the second started";
}

TEST_F(PlayerTest, StopSilencesTheSound)
{
    const std::vector<double> pitches = Record([&] {
        player_.play(Share(ToneWave(44100, 2, 16, 440, 2.0)));
        Spin(400);
        player_.stop();
        EXPECT_FALSE(player_.isPlaying());
    });

    EXPECT_NEAR(AudibleSeconds(pitches), 0.4, 0.2);
}

TEST_F(PlayerTest, KeepsPlayingWhenTheCallerReleasesTheImage)
{
    const std::vector<double> pitches = Record([&] {
        SoundData image = Share(ToneWave(22050, 1, 8, 440, 0.6));
        player_.play(image);
        // What a Replace does to the slot's old buffer, at its worst.
        std::fill(image->begin(), image->end(), std::uint8_t(0));
        image.reset();
    });

    ExpectLasts(AudibleSeconds(pitches), 0.6);
    EXPECT_NEAR(MedianPitch(pitches), 440, 30);
}

TEST_F(PlayerTest, PlaysWhatATruncatedImageHolds)
{
    // The header claims two seconds; the bytes hold half a second.
    Bytes image = ToneWave(22050, 1, 16, 440, 2.0);
    image.resize(44 + 22050);
    const std::vector<double> pitches = Record([&] { player_.play(Share(std::move(image))); });

    ExpectLasts(AudibleSeconds(pitches), 0.5);
}

TEST_F(PlayerTest, UnplayableImagesAreSilent)
{
    const Bytes tone = ToneWave(22050, 1, 8, 440, 0.5);
    const struct {
        const char* name;
        SoundData image;
    } cases[] = {
        {"no buffer", nullptr},
        {"empty buffer", Share({})},
        {"garbage", Share(Ramp(4096))},
        {"header only", Share(MakeWave({22050, 1, 8, {}, std::nullopt}))},
        {"cut inside the header", Share(Bytes(tone.begin(), tone.begin() + 30))},
        {"voice file", Share(VoiceFileBuilder().soundBlock(166, Ramp(8000, 0x40)).terminator().build())},
        {"Sun audio", Share(SunAudio(8000, Tone(8000, 1, 440, 0.5)))},
    };

    const std::vector<double> pitches = Record([&] {
        for (const auto& c : cases) {
            player_.play(c.image);
            EXPECT_FALSE(player_.isPlaying()) << c.name;
            Spin(100);
        }
    });
    EXPECT_EQ(AudibleWindows(pitches), 0u);
}

TEST_F(PlayerTest, AnUnplayableImageStopsTheSoundBeforeIt)
{
    const std::vector<double> pitches = Record([&] {
        player_.play(Share(ToneWave(44100, 1, 16, 440, 2.0)));
        Spin(400);
        player_.play(Share(Ramp(100)));
        EXPECT_FALSE(player_.isPlaying());
    });

    EXPECT_NEAR(AudibleSeconds(pitches), 0.4, 0.2);
}

} // namespace
} // namespace jbx::testing
