// The player on a machine without a sound server: every sound is silence,
// quietly, and the player stays usable.

#include "app/soundplayer.h"
#include "tests/app/wavebuilder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace jbx::testing {
namespace {

class NoServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // Point the sound client at a server that cannot exist, before Qt
        // Multimedia first looks for one.
        folder_ = std::make_unique<TempDir>();
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder_->path()));
        qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + folder_->file("no-server")));
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }

    void TearDown() override
    {
        app_.reset();
        folder_.reset();
    }

private:
    int argc_ = 1;
    char name_[24] = "player_nodevice_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TempDir> folder_;
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new NoServerEnvironment);

// Runs the event loop until the player has given up, at most timeoutMs.
bool SettlesSilent(const SoundPlayer& player, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (player.isPlaying()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

TEST(PlayerWithoutServerTest, EverySoundIsSilenceAndThePlayerStaysUsable)
{
    SoundPlayer player;
    const SoundData sounds[] = {
        std::make_shared<Bytes>(ToneWave(22050, 1, 8, 440, 0.5)),
        std::make_shared<Bytes>(Ramp(300)),
        std::make_shared<Bytes>(),
        nullptr,
        std::make_shared<Bytes>(ToneWave(44100, 2, 16, 880, 0.5)),
    };
    QElapsedTimer clock;
    for (const SoundData& sound : sounds) {
        clock.restart();
        player.play(sound);
        EXPECT_LT(clock.elapsed(), 3000) << "play() waited for the missing server";
        EXPECT_TRUE(SettlesSilent(player, 3000));
    }
    player.stop();
    EXPECT_FALSE(player.isPlaying());
}

} // namespace
} // namespace jbx::testing
