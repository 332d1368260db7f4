#pragma once
// Answers the modal windows that the code under test opens from a thread
// timer, which runs inside their modal loops, each with the next step the
// test gave; a window that comes when no step is left is cancelled and
// counted, so a dialog the test did not expect fails it.

#include <windows.h>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace jbx::testing {

// What a message box showed: its icon is "stop", "question", "exclamation",
// "asterisk" or "none"; its buttons IDOK, IDYES, IDNO, ...
struct SeenBox {
    std::string icon;
    std::vector<int> buttons;
    HWND owner = nullptr;
    bool operator==(const SeenBox&) const = default;
};

inline void PrintTo(const SeenBox& box, std::ostream* os)
{
    *os << box.icon << " box, buttons";
    for (const int id : box.buttons)
        *os << ' ' << id;
    *os << ", owner " << box.owner;
}

void Press(HWND dialog, int id);

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;

    DialogDriver();
    ~DialogDriver();

    void then(Step step) { steps_.push_back(std::move(step)); }
    // Records a message box and presses `button`.
    void answerBox(int button, std::vector<SeenBox>* seen);
    // Records a file dialog's title, then types `path` and presses OK, or
    // cancels when `path` is empty.
    void answerFile(const std::wstring& path, std::vector<std::wstring>* titles);

    // The captions of the windows that came when no step was left.
    std::wstring unexpectedCaptions() const;
    bool done() const { return steps_.empty(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    UINT_PTR timer_ = 0;
    std::deque<Step> steps_;
    std::vector<HWND> handled_;
    std::vector<std::wstring> unexpected_;
};

} // namespace jbx::testing
