// Makes the picture of the Sound window in docs/: a stereo tone that dies
// away, with silence before and after it and part of it selected, drawn
// under the offscreen platform and saved as a PNG. Run through
// scripts/screenshot-sound-window.

#include "app/soundeditor.h"
#include "bank/soundbank.h"
#include "qt/dialogs/sounddialog.h"
#include "qt/waveformview.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QPixmap>

#include <cmath>
#include <cstdio>
#include <numbers>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    // 0.25 s of silence, 1.5 s of a plucked 110 Hz tone, the right channel
    // a little quieter and later, then 0.25 s of silence.
    constexpr int kRate = 22050;
    jbx::Bytes samples;
    for (int frame = 0; frame < 2 * kRate; ++frame) {
        const double t = double(frame) / kRate - 0.25;
        for (const double delay : {0.0, 0.04}) {
            const double s = t - delay;
            const double value = s < 0 || s > 1.5 ? 0
                : (delay > 0 ? 0.7 : 0.95) * std::exp(-3 * s) * std::min(1.0, s * 200)
                    * std::sin(2 * std::numbers::pi * 110 * s);
            const auto sample = std::int16_t(std::lround(32767 * value * std::min(1.0, (1.5 - s) * 40)));
            samples.push_back(std::uint8_t(std::uint16_t(sample) & 0xFF));
            samples.push_back(std::uint8_t(std::uint16_t(sample) >> 8));
        }
    }
    jbx::Bytes image = jbx::testing::WaveImage(1, 2, kRate, 16, samples);
    const auto size = std::int32_t(image.size());
    image.push_back(jbx::kPadByte);

    jbx::testing::FakeDesktop desktop;
    jbx::Session session{desktop};
    jbx::NewBank(session);
    jbx::SoundSlot& slot = session.bank.slot(3);
    slot.data = std::make_shared<jbx::Bytes>(std::move(image));
    slot.size = size;
    slot.name = "pluck";

    jbx::SoundEditor editor(session, 3);
    editor.pressAt(kRate * 5 / 10);
    editor.dragTo(kRate * 11 / 10);
    jbx::SoundDialog dialog(editor);
    dialog.resize(dialog.sizeHint().expandedTo({640, 0}));
    dialog.show();
    dialog.waveform()->setFocus();
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
