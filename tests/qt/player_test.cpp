// The player module against a private sound server: what it plays is
// recorded from the server's null sink and measured.

#include "audio/voiceconvert.h"
#include "qt/player/soundoutputloader.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace jbx::testing {
namespace {

// Below this RMS a 20 ms window counts as silence; the tones are near 11,600.
constexpr double kWindowSeconds = 0.02;
constexpr double kSilenceRms = 1000.0;
constexpr int kRecordRate = 44100;

// The core's WAVE image of a sine tone at half full scale in every channel;
// 8-bit samples are unsigned.
SoundData ToneWave(int rate, int channels, int bits, double hertz, double seconds)
{
    Bytes samples;
    for (long f = 0; f < std::lround(rate * seconds); ++f) {
        const auto s = std::int16_t(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * hertz * double(f) / rate)));
        for (int c = 0; c < channels; ++c)
            bits == 8 ? samples.push_back(std::uint8_t((s >> 8) + 128)) : PutLE16(samples, std::uint16_t(s));
    }
    const VoiceFormat format{std::uint32_t(samples.size()), std::uint32_t(rate), 0, channels == 1, std::uint16_t(bits)};
    auto image = std::make_shared<Bytes>(samples.size() + kWaveImageSlack);
    FakeDesktop quiet;
    std::int32_t size = 0;
    EXPECT_TRUE(BuildWaveImage(quiet, *image, samples, size, format));
    return image;
}

// Started before anything touches Qt Multimedia, which looks for its server
// once; the script stops it if this process dies.
class SoundServerEnvironment : public ::testing::Environment {
public:
    // The server's folder is one of the test's own, to stop it by.
    void SetUp() override
    {
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        QProcess script;
        script.start(JBX_START_TEST_AUDIO, {"--owner", QString::number(QCoreApplication::applicationPid()), folder_});
        if (!script.waitForFinished(20000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
            failure = "scripts/start-test-audio failed: " + script.errorString().toStdString() + ": "
                + QString::fromLocal8Bit(script.readAllStandardError()).trimmed().toStdString();
            return;
        }
        const QRegularExpression exported("^export (\\w+)='(.*)'$", QRegularExpression::MultilineOption);
        for (const auto& match : exported.globalMatch(QString::fromLocal8Bit(script.readAllStandardOutput())))
            qputenv(match.captured(1).toLocal8Bit().constData(), match.captured(2).toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            failure = "scripts/start-test-audio printed no server address";
    }

    void TearDown() override
    {
        QProcess::execute(JBX_START_TEST_AUDIO, {"--stop", folder_});
        app_.reset();
    }

    std::string failure;

private:
    int argc_ = 1;
    char name_[16] = "player_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    TempDir root_;
    QString folder_ = QString::fromStdString(root_.file("runtime"));
};

SoundServerEnvironment* const environment = static_cast<SoundServerEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment));

// The null sink's monitor recorded while scenario runs and the player
// finishes, cut into windows: 0 for a silent one, else its pitch.
std::vector<double> Record(SoundOutput& player, const std::function<void()>& scenario)
{
    TempDir folder;
    const QString path = QString::fromStdString(folder.file("monitor.raw"));
    QProcess parec;
    parec.setStandardOutputFile(path);
    parec.start("parec", {"-d", "test.monitor", "--raw", "--format=s16le",
                             QString("--rate=%1").arg(kRecordRate), "--channels=2", "--latency-msec=20"});
    // Anything played before the monitor delivers its first samples is lost.
    if (!parec.waitForStarted(5000) || !QTest::qWaitFor([&] { return QFileInfo(path).size() > 0; }, 10000)) {
        ADD_FAILURE() << "parec did not start recording";
        return {};
    }
    scenario();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !player.isPlaying(); }, 5000)) << "the sound did not end in time";
    QTest::qWait(300);   // the tail still in the server's buffers
    parec.terminate();
    parec.waitForFinished(3000);

    const Bytes raw = ReadBytes(path.toStdString());
    const auto window = std::size_t(kRecordRate * kWindowSeconds) * 4;   // stereo 16-bit frames
    std::vector<double> pitches;
    for (std::size_t start = 0; raw.size() - start >= window; start += window) {
        double energy = 0;
        std::size_t crossings = 0;
        for (std::size_t i = start; i < start + window; i += 4) {   // the left channel
            const double s = std::int16_t(ReadLE16(raw.data() + i));
            energy += s * s;
            crossings += i > start && (s < 0) != (std::int16_t(ReadLE16(raw.data() + i - 4)) < 0);
        }
        const bool silent = std::sqrt(energy / double(window / 4)) < kSilenceRms;
        pitches.push_back(silent ? 0.0 : double(crossings) / (2.0 * kWindowSeconds));
    }
    return pitches;
}

// The module is the first one found in the folders. A sound cut short loses
// its last windows; one that stutters gains a few that sound partly, so the
// two sides have different margins.
TEST(PlayerTest, ANewSoundReplacesThePlayingOneAndPlaysWhole)
{
    const QString nowhere = QStringLiteral(JBX_PLAYER_MODULE_FOLDER "/nowhere");
    EXPECT_EQ(LoadSoundOutput({nowhere}), nullptr);
    const auto player = LoadSoundOutput({nowhere, QStringLiteral(JBX_PLAYER_MODULE_FOLDER)});
    ASSERT_NE(player, nullptr) << "the player module did not load";
    if (!environment->failure.empty())
        GTEST_SKIP() << "no sound server to play to and record from: " << environment->failure;
    const std::vector<double> pitches = Record(*player, [&] {
        player->play(ToneWave(22050, 1, 8, 440, 2.0));
        EXPECT_TRUE(player->isPlaying());
        QTest::qWait(400);
        player->play(ToneWave(44100, 2, 16, 880, 0.4));
    });
    const auto isHigh = [](double p) { return p > 660; };
    const auto isLow = [](double p) { return p > 0 && p <= 660; };
    const auto firstHigh = std::find_if(pitches.begin(), pitches.end(), isHigh);
    ASSERT_NE(firstHigh, pitches.end()) << "the second sound was not heard";
    const double highSeconds = double(std::count_if(pitches.begin(), pitches.end(), isHigh)) * kWindowSeconds;
    EXPECT_GE(highSeconds, 0.4 - 2 * kWindowSeconds) << "the sound was cut short";
    EXPECT_LE(highSeconds, 0.4 + 5 * kWindowSeconds) << "more was heard than the sound holds";
    // A window or two may straddle the change.
    EXPECT_LE(std::count_if(firstHigh, pitches.end(), isLow), 2) << "the first sound went on after the second began";
    EXPECT_NEAR(double(std::count_if(pitches.begin(), firstHigh, isLow)) * kWindowSeconds, 0.4, 0.2)
        << "the first sound should have played until the second started";
}

} // namespace
} // namespace jbx::testing
