#include "tests/app/guitest.h"

#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>

#include <algorithm>
#include <memory>

namespace jbx::testing {

namespace {

constexpr int kPollMilliseconds = 20;
// A modal window that no step answers, or that its step left open, is
// closed after this many polls (4 s).
constexpr int kUnansweredPolls = 200;

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // Settings and the file dialog's history go to a private folder,
        // never the user's; windows go nowhere unless a test asks for a
        // real display.
        config_ = std::make_unique<TempDir>();
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_->path()));
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }

    void TearDown() override
    {
        application_.reset();
        config_.reset();
    }

private:
    int argc_ = 1;
    char name_[16] = "jbx_gui_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TempDir> config_;
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

ModalScript::ModalScript()
{
    timer_.setInterval(kPollMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalScript::~ModalScript() = default;

ModalScript& ModalScript::then(Step step)
{
    steps_.push_back(std::move(step));
    return *this;
}

void ModalScript::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        idleTicks_ = 0;
        return;
    }
    const bool fresh = std::find(seen_.begin(), seen_.end(), modal) == seen_.end();
    if (fresh && !steps_.empty()) {
        idleTicks_ = 0;
        seen_.emplace_back(modal);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(modal);
        return;
    }
    if (++idleTicks_ <= kUnansweredPolls)
        return;
    idleTicks_ = 0;
    ++unexpected_;
    ADD_FAILURE() << (fresh ? "a modal window nobody expected: " : "a modal window stayed up: ")
                  << modal->windowTitle().toStdString();
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

std::string WriteSmallBank(const std::string& path, std::initializer_list<int> filled)
{
    FakeDesktop quiet;
    Session made(quiet);
    NewBank(made, nullptr);
    for (const int n : filled) {
        SoundSlot& slot = made.bank.slot(n);
        slot.data = MakeSoundData(kSmallSoundSize + 1);
        *slot.data = {'R', 'I', 'F', 'F', 0, 0, 0, std::uint8_t(n), 0x80};
        slot.size = kSmallSoundSize;
        slot.name = "snd" + std::to_string(n);
    }
    EXPECT_EQ(WriteBankFile(made.bank, path), SaveResult::Saved) << path;
    return path;
}

void PressMessageButton(QWidget* modal, int standardButton)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
    QAbstractButton* button = box->button(QMessageBox::StandardButton(standardButton));
    ASSERT_NE(button, nullptr) << "the box has no such button";
    button->click();
}

} // namespace jbx::testing
