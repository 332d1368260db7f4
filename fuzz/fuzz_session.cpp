// Drives whole editing sessions through the main window's commands, in an
// order the fuzzer chooses: select a slot, type a name, Replace with fuzzed
// bytes, Extract, edit the credits, Save, Open, New. After every step each
// slot's buffer holds its sound and the byte after it; every Save opens
// again as the same names, sizes and bytes; and no message appears that the
// program does not have.

#include "app/credits.h"
#include "app/maincommands.h"
#include "app/mainwindowview.h"
#include "bank/bankloader.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"
#include "settings/settingsstore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <random>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// Every text a message box of the program can show.
constexpr std::array kProgramMessages = {
    std::string_view("Cannot open JBX file"),
    std::string_view("Not a valid JeerBox sound file"),
    std::string_view("Not enough memory to load the JBX file"),
    std::string_view("Cannot create JBX file"),
    std::string_view("Cannot write JBX file"),
    std::string_view("Cannot open sound file"),
    std::string_view("Not a valid sound file"),
    std::string_view("Cannot create sound file"),
    std::string_view("Not a Creative Voice File"),
    std::string_view("Unknown Voice File Version.\n\nProcess anyway?"),
    std::string_view("Failed to open wave buffer."),
    std::string_view("Unable to write RIFF header"),
    std::string_view("Unable to write format chunk"),
    std::string_view("Unable to write data chunk"),
    std::string_view("Current changes will be lost.\n\nContinue?"),
    std::string_view("This action will erase the credits from memory, and they will not be saved "
                     "to disk next time you save the file.\n\nContinue?"),
    std::string_view("You haven't entered any credits for the JBX you just saved.\n\n"
                     "Click on the \"Credits...\" button in the main window to enter some.\n\n"
                     "Save anyway?"),
};

bool IsProgramMessage(const std::string& text)
{
    for (const std::string_view known : kProgramMessages) {
        if (text == known)
            return true;
    }
    // Running out of memory has a message of its own for each thing loaded.
    return text.starts_with("Not enough memory");
}

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

class MemorySettings final : public jbx::SettingsStore {
public:
    std::unique_ptr<jbx::SettingsKey> open() override { return std::make_unique<Key>(values_); }

private:
    struct Key final : jbx::SettingsKey {
        explicit Key(std::map<std::string, std::string, std::less<>>& v) : values(v) {}
        std::optional<std::string> readText(std::string_view name) override
        {
            const auto found = values.find(name);
            return found == values.end() ? std::nullopt : std::optional(found->second);
        }
        bool writeText(std::string_view name, std::string_view text) override
        {
            values[std::string(name)] = std::string(text);
            return true;
        }
        std::map<std::string, std::string, std::less<>>& values;
    };
    std::map<std::string, std::string, std::less<>> values_;
};

// The desktop and main window, answering from the fuzzer's bytes.
class SessionDesktop final : public jbx::Desktop, public jbx::MainWindowView {
public:
    explicit SessionDesktop(FuzzedDataProvider& data) : data_(data) {}

    std::optional<jbx::ChosenFile> nextFile;   // what the next file dialog chooses
    std::string name;                          // the Name box
    bool shift = false;

    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        if (!IsProgramMessage(message.text)) {
            std::fprintf(stderr, "unexpected message: \"%s\"\n", message.text.c_str());
            std::abort();
        }
        if (message.buttons == jbx::MessageButtons::Ok)
            return jbx::MessageAnswer::Ok;
        return data_.ConsumeBool() ? jbx::MessageAnswer::Yes : jbx::MessageAnswer::No;
    }
    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        return jbx::UnknownBlockChoice(data_.ConsumeIntegralInRange(0, 2));
    }
    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override
    {
        // Shift stays down for one click only.
        shift = false;
        return std::exchange(nextFile, std::nullopt);
    }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return shift; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}
    void setCaption(const std::string&) override {}
    std::string nameText() const override { return name; }
    void setNameText(const std::string& text) override { name = text; }
    void setSizeText(const std::string&) override {}
    void setExtractEnabled(bool) override {}
    void focusSoundButton(int) override {}

private:
    FuzzedDataProvider& data_;
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

    SessionDesktop desktop(data);
    MemorySettings settings;
    jbx::Session session(desktop);
    jbx::PrepareBank(session, {});
    jbx::MainCommands commands(session, settings, desktop, {});
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
            desktop.name = name;
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
