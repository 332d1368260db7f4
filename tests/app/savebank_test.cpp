#include "app/savebank.h"

#include "bank/bankwriter.h"
#include "tests/support/sessiontest.h"

#include <filesystem>
#include <new>
#include <thread>
#include <tuple>

using namespace jbx;
using namespace jbx::testing;
namespace fs = std::filesystem;

namespace {

class SaveTest : public SessionTest {
protected:
    SaveTest() { session.bank.bankTitle = "before.jbx"; }

    SaveBankResult save(std::optional<std::string> path, const RunAside& runAside = {})
    {
        desktop.fileAnswers.push_back(path ? std::optional(ChosenFile{*path, 1}) : std::nullopt);
        return SaveBank(session, settings, window, runAside);
    }
};

} // namespace

TEST_F(SaveTest, WritesTheBankWithProgressAndTakesTheFileNameAsTitle)
{
    session.bank.slot(2) = {"two", 0, 5, std::make_shared<Bytes>(Bytes{'R', 'I', 'F', 'F', 1, 0x80})};
    const std::string path = dir.file("taunts");   // no extension is added
    EXPECT_EQ(save(path), SaveBankResult::Saved);

    EXPECT_EQ(desktop.fileDialogs, (std::vector<FileDialogRequest>{{FileDialogKind::Save, "Save",
        {{"JeerBox Files (*.jbx)", "*.jbx"}}, 0, ".", "", true, false, true, Owner::MainWindow}}));
    MemorySink expected;
    ASSERT_TRUE(WriteBank(session.bank, expected));
    EXPECT_EQ(ReadBytes(path), expected.data);
    EXPECT_EQ(desktop.progress, (std::vector<int>{-1, 0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 100, -2}));
    EXPECT_EQ(window.caption, "JBX Maker - taunts");
    EXPECT_EQ(fs::path(settings.values.at("JBXSaveDirectory")), fs::path(dir.path()))
        << "the chosen folder is remembered even with UseLastSaveDir off";
}

TEST_F(SaveTest, CancelledOrFailedSaveChangesNothing)
{
    settings.values = {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "/banks/mine"}};
    EXPECT_EQ(save(std::nullopt), SaveBankResult::Cancelled);
    EXPECT_EQ(desktop.fileDialogs.at(0).startDirectory, "/banks/mine");
    EXPECT_EQ(settings.values.at("JBXSaveDirectory"), "/banks/mine");
    EXPECT_TRUE(desktop.progress.empty());

    WriteBytes(dir.file("plain-file"), ToBytes("in the way"));
    fs::create_directory(dir.file("folder.jbx"));   // written, but cannot replace the folder
    const std::tuple<std::string, std::string, SaveBankResult> cases[] = {
        {dir.file("plain-file") + "/bank.jbx", "Cannot create JBX file", SaveBankResult::CannotCreate},
        {dir.file("folder.jbx"), "Cannot write JBX file", SaveBankResult::CannotWrite},
    };
    for (const auto& [path, text, result] : cases) {
        SCOPED_TRACE(path);
        desktop.messages.clear();
        EXPECT_EQ(save(path), result);
        EXPECT_EQ(desktop.messages,
            (std::vector<Message>{{text, "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::MainWindow}}));
        EXPECT_EQ(desktop.progress.back(), -2) << "the progress window closes on failure too";
    }
    EXPECT_TRUE(window.captions.empty());
}

// What the window changes while the writer runs is not written, and the
// progress window hears only what a poll hands it, on the calling thread.
TEST_F(SaveTest, ASaveRunAsideWritesTheBankAsChosenAndMovesTheBarFromThePolls)
{
    session.bank.slot(2) = {"two", 0, 5, std::make_shared<Bytes>(Bytes{'R', 'I', 'F', 'F', 1, 0x80})};
    MemorySink expected;
    ASSERT_TRUE(WriteBank(session.bank, expected));
    int runs = 0;
    const RunAside aside = [&](const std::function<void()>& work, const std::function<void()>& poll) {
        ++runs;
        session.bank.slot(2) = {};
        std::thread(work).join();
        poll();
    };
    EXPECT_EQ(save(dir.file("aside.jbx"), aside), SaveBankResult::Saved);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ReadBytes(dir.file("aside.jbx")), expected.data);
    EXPECT_EQ(desktop.progress, (std::vector<int>{-1, 100, -2}));
    EXPECT_EQ(window.caption, "JBX Maker - aside.jbx");

    EXPECT_EQ(save(dir.file("no-folder/aside.jbx"), aside), SaveBankResult::CannotCreate);
    EXPECT_EQ(desktop.messages.at(0).text, "Cannot create JBX file");

    // A writer that could not run takes the Saving window with it.
    desktop.progress.clear();
    const RunAside failing = [](const std::function<void()>&, const std::function<void()>&) { throw std::bad_alloc(); };
    EXPECT_THROW(save(dir.file("thrown.jbx"), failing), std::bad_alloc);
    EXPECT_EQ(desktop.progress, (std::vector<int>{-1, -2}));
}
