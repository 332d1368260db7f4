// The compiled-in resources: the About sound is the short mono 8-bit WAVE
// our generator writes, and every icon draws at the sizes it is used at.

#include "settings/optionssheet.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdlib>
#include <string>

namespace jbx::testing {
namespace {

Bytes Resource(const char* path)
{
    InitOptionsResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "no resource " << path;
        return {};
    }
    const QByteArray bytes = file.readAll();
    return Bytes(bytes.begin(), bytes.end());
}

TEST(AboutSound, IsAShortMonoEightBitPcmWave)
{
    const Bytes wave = Resource(kAboutSoundPath);
    ASSERT_GE(wave.size(), 44u);
    auto tag = [&](std::size_t at) { return std::string(wave.begin() + std::ptrdiff_t(at), wave.begin() + std::ptrdiff_t(at) + 4); };
    EXPECT_EQ(tag(0), "RIFF");
    EXPECT_EQ(ReadLE32(&wave[4]), wave.size() - 8);
    EXPECT_EQ(tag(8), "WAVE");
    EXPECT_EQ(tag(12), "fmt ");
    EXPECT_EQ(ReadLE32(&wave[16]), 16u);
    EXPECT_EQ(ReadLE16(&wave[20]), 1) << "PCM";
    EXPECT_EQ(ReadLE16(&wave[22]), 1) << "mono";
    EXPECT_EQ(ReadLE32(&wave[24]), 22050u);
    EXPECT_EQ(ReadLE32(&wave[28]), 22050u) << "bytes per second";
    EXPECT_EQ(ReadLE16(&wave[32]), 1) << "block align";
    EXPECT_EQ(ReadLE16(&wave[34]), 8) << "bits";
    EXPECT_EQ(tag(36), "data");
    const std::uint32_t samples = ReadLE32(&wave[40]);
    EXPECT_EQ(samples, 30808u);
    ASSERT_EQ(wave.size(), 44 + samples);

    // A little under 1.4 seconds, and not silence: 8-bit silence is 128.
    EXPECT_NEAR(samples / 22050.0, 1.4, 0.01);
    int lowest = 255, highest = 0;
    for (std::size_t i = 44; i < wave.size(); ++i) {
        lowest = std::min<int>(lowest, wave[i]);
        highest = std::max<int>(highest, wave[i]);
    }
    EXPECT_LT(lowest, 128 - 40);
    EXPECT_GT(highest, 128 + 40);
    // It starts and ends quietly, so no click is heard.
    EXPECT_NEAR(wave[44], 128, 2);
    EXPECT_NEAR(wave.back(), 128, 2);
}

TEST(AboutSound, IsWhatTheGeneratorWrites)
{
    const TempDir dir;
    const std::string out = dir.file("about.wav");
    const std::string command = std::string("\"") + JBX_MAKEABOUTSOUND + "\" \"" + out + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(ReadBytes(out), Resource(kAboutSoundPath))
        << "resources/sounds/about.wav is stale: build the about_sound target";
}

class Icons : public ::testing::TestWithParam<const char*> {};

TEST_P(Icons, DrawAtSixteenAndThirtyTwoPixels)
{
    InitOptionsResources();
    const QIcon icon(QString::fromLatin1(GetParam()));
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), size * image.devicePixelRatio());
        // A drawing: some of it painted, some of it see-through.
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 128;
        const int all = image.width() * image.height();
        EXPECT_GT(painted, all / 4);
        EXPECT_LT(painted, all);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, Icons,
    ::testing::Values(kProgramIconPath, kContactIconPath, kKnownBugsIconPath, kTipsIconPath),
    [](const auto& info) {
        std::string name = QString::fromLatin1(info.param).section('/', -1).section('.', 0, 0).toStdString();
        return name;
    });

} // namespace
} // namespace jbx::testing
