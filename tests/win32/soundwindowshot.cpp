// Shows the Sound window over a stereo sound with a selection and writes
// what it looks like, window frame and all, to a 24-bit BMP file named on
// the command line; scripts/screenshot-sound-window-windows makes the docs' picture
// from it. Needs a display driver that draws (Wine's X11 one).

#include "app/soundeditor.h"
#include "bank/soundbank.h"
#include "win32/sounddialog.h"
#include "win32/win32desktop.h"

#include "tests/support/testfiles.h"
#include "tests/win32/dialogdriver.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace jbx;
using namespace jbx::testing;

namespace {

// 1.5 s at 22050 Hz: a short silence, a struck tone dying away on the left,
// a slower swell on the right, and silence again.
Bytes ShapedSound()
{
    constexpr int rate = 22050;
    constexpr int frames = rate * 3 / 2;
    Bytes samples;
    for (int frame = 0; frame < frames; ++frame) {
        const double t = double(frame) / rate;
        const double sounding = t >= 0.15 && t < 1.3 ? 1.0 : 0.0;
        const double strike = sounding * std::exp(-3.0 * (t - 0.15));
        const double swell = sounding * std::sin(std::numbers::pi * (t - 0.15) / 1.15);
        const double left = 0.9 * strike * std::sin(2 * std::numbers::pi * 220 * t);
        const double right = 0.5 * swell * std::sin(2 * std::numbers::pi * 330 * t) * (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 3 * t));
        PutLE16(samples, std::uint16_t(std::int16_t(std::lround(left * 32767))));
        PutLE16(samples, std::uint16_t(std::int16_t(std::lround(right * 32767))));
    }
    return WaveImage(1, 2, rate, 16, samples);
}

bool WriteBmp(const char* path, HWND window)
{
    RECT box;
    GetWindowRect(window, &box);
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, DWORD(stride * height), 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC windowDc = GetWindowDC(window);
    const HDC memory = CreateCompatibleDC(windowDc);
    const HBITMAP picture = CreateDIBSection(windowDc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, picture);
    const bool copied = BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);

    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof header + header.biSizeImage), 0, 0,
        DWORD(sizeof(BITMAPFILEHEADER) + sizeof header)};
    std::FILE* out = std::fopen(path, "wb");
    const bool written = out && std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1
        && std::fwrite(bits, header.biSizeImage, 1, out) == 1;
    if (out)
        std::fclose(out);
    DeleteObject(picture);
    return copied && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundwindowshot OUT.bmp\n");
        return 2;
    }
    InitCommonControls();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    Win32Desktop desktop(instance);
    Session session(desktop);
    const Bytes image = ShapedSound();
    SoundSlot& slot = session.bank.slot(1);
    slot.name = "gong";
    slot.data = MakeSoundData(image.size() + 1);
    std::copy(image.begin(), image.end(), slot.data->begin());
    slot.size = std::int32_t(image.size());
    SoundEditor editor(session, 1);
    editor.pressAt(editor.frames() * 2 / 5);
    editor.dragTo(editor.frames() * 3 / 5);

    bool written = false;
    DialogDriver driver;
    driver.then([&](HWND dialog) {
        // Shown with the focus elsewhere, the waveform draws no focus ring.
        SetFocus(GetDlgItem(dialog, IDOK));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        written = WriteBmp(argv[1], dialog);
        Press(dialog, IDCANCEL);
    });
    ShowSoundDialog(instance, nullptr, editor, desktop);
    if (!written)
        std::fprintf(stderr, "soundwindowshot: could not write %s\n", argv[1]);
    return written ? 0 : 1;
}
