// Drives whole editing sessions through the main window's commands, in an
// order the fuzzer chooses: select a slot, type a name, Replace with fuzzed
// bytes, Extract, edit the credits, Save, Open, New. After every step each
// slot's buffer holds its sound and the byte after it; every Save opens
// again as the same names, sizes and bytes.

#include "app/credits.h"
#include "app/maincommands.h"
#include "app/mainwindowview.h"
#include "bank/bankloader.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"
#include "tests/support/fakesettingsstore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// One folder per process; each input starts it afresh (libFuzzer may end
// the process without running exit handlers, so it is emptied, not removed).
const fs::path& ScratchFolder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("fuzz_session-" + std::to_string(std::random_device()()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// The main window's fields that the commands read and write.
struct SessionWindow final : jbx::MainWindowView {
    std::string name;   // the Name box

    void setCaption(const std::string&) override {}
    std::string nameText() const override { return name; }
    void setNameText(const std::string& text) override { name = text; }
    void setSizeText(const std::string&) override {}
    void setExtractEnabled(bool) override {}
    void focusSoundButton(int) override {}
};

void CheckSlots(const jbx::SoundBank& bank)
{
    for (const jbx::SoundSlot& slot : bank.slots) {
        FUZZ_CHECK(slot.data && slot.size >= 0);
        FUZZ_CHECK(slot.data->size() >= std::size_t(slot.size) + 1);
        FUZZ_CHECK(slot.name.size() <= jbx::kSlotNameLimit);
    }
}

// A saved bank opens again as the names, sizes and sound bytes it was saved from.
void CheckSavedBank(const jbx::SoundBank& saved, const std::string& path)
{
    FuzzDesktop quiet(0);
    jbx::Session reopened(quiet);
    FUZZ_CHECK(jbx::LoadBank(reopened, path, jbx::Owner::None).result == jbx::LoadResult::Loaded);
    for (int n = 1; n <= jbx::kSlotCount; ++n) {
        const jbx::SoundSlot& before = saved.slot(n);
        const jbx::SoundSlot& after = reopened.bank.slot(n);
        FUZZ_CHECK(after.name == before.name);
        FUZZ_CHECK(after.size == before.size);
        FUZZ_CHECK(std::equal(before.data->begin(), before.data->begin() + before.size, after.data->begin()));
    }
}

std::string ChosenPath(const char* name)
{
    return (ScratchFolder() / name).string();
}

void WriteScratch(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fclose(file) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(ScratchFolder(), ignored))
        fs::remove(entry.path(), ignored);

    FuzzDesktop desktop([&data](unsigned n) { return data.ConsumeIntegralInRange(0u, n - 1); });
    SessionWindow window;
    jbx::testing::FakeSettingsStore settings;
    jbx::Session session(desktop);
    jbx::PrepareBank(session, {});
    jbx::MainCommands commands(session, settings, window, {});
    commands.startWindow();

    const std::string soundPath = ChosenPath("sound.bin");
    const std::string extractPath = ChosenPath("extract.wav");
    const std::string bankPath = ChosenPath("bank.jbx");

    for (int step = 0; step < 24 && data.remaining_bytes() > 0; ++step) {
        switch (data.ConsumeIntegralInRange(0, 8)) {
        case 0:
            commands.run(jbx::command::kSound1 + data.ConsumeIntegralInRange(0, jbx::kSlotCount - 1));
            break;
        case 1: {
            // What the Name box lets through: at most 8 characters, no NUL.
            std::string name = data.ConsumeRandomLengthString(jbx::kSlotNameLimit);
            name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
            window.name = name;
            break;
        }
        case 2:
        case 3: {
            // Mostly a voice file's signature first, so the conversion is reached.
            std::vector<std::uint8_t> sound;
            if (data.ConsumeBool()) {
                const std::string_view mark = "Creative Voice File\x1a";
                sound.assign(mark.begin(), mark.end());
            }
            const auto rest = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 4096));
            sound.insert(sound.end(), rest.begin(), rest.end());
            WriteScratch(soundPath, sound);
            desktop.nextFile = jbx::ChosenFile{soundPath, data.ConsumeIntegralInRange(1, 2)};
            if (data.ConsumeBool()) {
                desktop.shift = true;
                commands.run(jbx::command::kSound1 + data.ConsumeIntegralInRange(0, jbx::kSlotCount - 1));
            } else {
                commands.run(jbx::command::kReplace);
            }
            break;
        }
        case 4:
            desktop.nextFile = jbx::ChosenFile{extractPath, 1};
            commands.run(jbx::command::kExtract);
            break;
        case 5: {
            jbx::CreditsEditor editor(session.bank, desktop);
            if (data.ConsumeBool()) {
                editor.erase();
            } else {
                editor.boxChanged();
                editor.accept({data.ConsumeRandomLengthString(120), data.ConsumeRandomLengthString(300),
                    data.ConsumeRandomLengthString(120)});
            }
            break;
        }
        case 6:
            // Gone first, so that a file there afterwards is this Save's.
            fs::remove(bankPath, ignored);
            desktop.nextFile = jbx::ChosenFile{bankPath, 1};
            commands.run(jbx::command::kSave);
            if (fs::exists(bankPath, ignored))
                CheckSavedBank(session.bank, bankPath);
            break;
        case 7:
            desktop.nextFile = jbx::ChosenFile{bankPath, 1};
            commands.run(jbx::command::kOpen);
            break;
        case 8:
            commands.run(jbx::command::kNew);
            break;
        }
        CheckSlots(session.bank);
    }
    return 0;
}
