#pragma once

// What the GUI tests share; guitest.cpp also makes the one QApplication.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <initializer_list>
#include <ostream>

// Readable failures for the widgets' texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace jbx::testing {

// Hands each modal window that comes up to the next step, which should
// close it. One that no step is left for stays up until the test times out.
struct ModalScript {
    using Step = std::function<void(QWidget* modal)>;
    ModalScript(std::initializer_list<Step> steps) : steps(steps)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible() && modal != last && !this->steps.empty()) {
                last = modal;
                const Step step = std::move(this->steps.front());
                this->steps.pop_front();
                step(modal);
            }
        });
        timer.start(20);
    }
    QTimer timer;
    std::deque<Step> steps;
    QPointer<QWidget> last;
};

// Walks the window's accessible tree, as Qt hands it to a screen reader:
// every control is announced by a name. At least `controls` are checked, so
// that a walk that missed them fails.
void ExpectAnnounced(QWidget* window, int controls);

} // namespace jbx::testing
