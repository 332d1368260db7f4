// Editing sessions through the main window's commands in an order the fuzzer chooses: each slot's buffer holds its
// sound and the byte after it after every step, and every Save opens again as the same bank.

#include "app/credits.h"
#include "app/maincommands.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fakesettingsstore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string_view>

namespace {

namespace fs = std::filesystem;

void CheckSavedBank(const jbx::SoundBank& saved, const std::string& path)
{
    FuzzDesktop quiet(0);
    jbx::Session reopened(quiet);
    FUZZ_CHECK(jbx::LoadBank(reopened, path, jbx::Owner::None).result == jbx::LoadResult::Loaded);
    jbx::MemorySink before, after;
    FUZZ_CHECK(jbx::WriteBank(saved, before) && jbx::WriteBank(reopened.bank, after));
    FUZZ_CHECK(after.data == before.data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    std::error_code ignored;
    const fs::path& folder = ScratchFolder();
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        fs::remove(entry.path(), ignored);

    FuzzDesktop desktop([&data](unsigned n) { return data.ConsumeIntegralInRange(0u, n - 1); });
    jbx::testing::FakeMainWindow window;
    jbx::testing::FakeSettingsStore settings;
    jbx::Session session(desktop);
    jbx::PrepareBank(session, {});
    jbx::MainCommands commands(session, settings, window, {});
    commands.startWindow();

    const std::string soundPath = (folder / "sound.bin").string();
    const std::string extractPath = (folder / "extract.wav").string();
    const std::string bankPath = (folder / "bank.jbx").string();
    // What an edit box lets through: no NUL.
    const auto typed = [&data](std::size_t most) {
        std::string text = data.ConsumeRandomLengthString(most);
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        return text;
    };

    for (int step = 0; step < 24 && data.remaining_bytes() > 0; ++step) {
        switch (data.ConsumeIntegralInRange(0, 8)) {
        case 0:
            commands.run(jbx::command::kSound1 + data.ConsumeIntegralInRange(0, jbx::kSlotCount - 1));
            break;
        case 1:
            window.name = typed(jbx::kSlotNameLimit);
            break;
        case 2:
        case 3: {
            // Half of them start as a voice file does, so that the conversion is reached.
            std::vector<std::uint8_t> sound;
            if (data.ConsumeBool()) {
                const std::string_view mark = "Creative Voice File\x1a";
                sound.assign(mark.begin(), mark.end());
            }
            const auto rest = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 4096));
            sound.insert(sound.end(), rest.begin(), rest.end());
            WriteFuzzFile(soundPath, sound.data(), sound.size());
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
                editor.accept({typed(120), typed(300), typed(120)});
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
