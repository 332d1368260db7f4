#pragma once

// Runs a function once a window is on screen and painted. The editor uses it
// only when JBXMAKER_EXIT_WHEN_SHOWN is set, which the start-up tests and
// the start-up benchmark do; the benchmark's baseline window uses the same
// code, so both are timed to the same moment.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace jbx {

// The environment variable that makes jbxmaker print "shown: " and its
// caption on standard output once its window is painted, then close it.
inline constexpr char kExitWhenShownVariable[] = "JBXMAKER_EXIT_WHEN_SHOWN";

inline void CallWhenPainted(QWidget& window, std::function<void()> done)
{
    class PaintWatcher final : public QObject {
    public:
        PaintWatcher(QWidget& window, std::function<void()> done)
            : QObject(&window), done_(std::move(done))
        {
        }

        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && done_) {
                // Called once the paint that is under way, children and
                // all, has reached the screen.
                QTimer::singleShot(0, parent(), std::exchange(done_, {}));
                deleteLater();
            }
            return false;
        }

    private:
        std::function<void()> done_;
    };

    window.installEventFilter(new PaintWatcher(window, std::move(done)));
    // A window painted before the watcher was there paints once more.
    window.update();
}

} // namespace jbx
