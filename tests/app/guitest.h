#pragma once

// What the GUI tests share: one QApplication on the offscreen platform for
// the whole test program, a script that answers modal windows as they come
// up, and waiting for the event loop to bring something about.

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace jbx::testing {

// Runs the event loop until done() holds or timeoutMs pass; done()'s last value.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Answers the modal windows that come up, in order: each step gets the next
// QApplication::activeModalWidget() that was not handed to a step before, and
// should close it. A modal window that no step is left for, or that its step
// left open, is rejected after a while, so a test cannot hang, and the test
// fails.
class ModalScript {
public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript();
    ~ModalScript();

    ModalScript& then(Step step);

    // How many steps are still waiting for their window.
    std::size_t pending() const { return steps_.size(); }

    // Modal windows that came up with no step left for them.
    int unexpected() const { return unexpected_; }

private:
    void poll();

    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<QPointer<QWidget>> seen_;
    int idleTicks_ = 0;
    int unexpected_ = 0;
};

// Writes a bank whose listed slots hold an 8-byte sound that names its slot
// in byte 7, each slot named "snd" and its number; returns path.
inline constexpr int kSmallSoundSize = 8;
std::string WriteSmallBank(const std::string& path, std::initializer_list<int> filled);

// Presses a message box's standard button (QMessageBox::Yes, No or Ok).
void PressMessageButton(QWidget* modal, int standardButton);

} // namespace jbx::testing
