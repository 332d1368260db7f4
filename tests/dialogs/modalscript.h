#pragma once

// Answers a modal dialog that a test runs with exec(): polls for the dialog
// to become the active modal widget, then runs the test's answer on it. A
// dialog still open long after that is ended by force and fails the test, so
// a broken dialog can't hang the run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <utility>

namespace jbx::testing {

template <class Dialog>
class ModalScript {
public:
    explicit ModalScript(std::function<void(Dialog&)> answer) : answer_(std::move(answer))
    {
        QObject::connect(&poll_, &QTimer::timeout, [this] { check(); });
        poll_.start(kPollMs);
        clock_.start();
    }

    bool answered() const { return answered_; }

private:
    static constexpr int kPollMs = 10;
    static constexpr qint64 kGiveUpMs = 5000;

    void check()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!answered_) {
            if (auto* dialog = qobject_cast<Dialog*>(modal)) {
                answered_ = true;
                answer_(*dialog);
                return;
            }
        }
        if (clock_.hasExpired(kGiveUpMs)) {
            poll_.stop();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                ADD_FAILURE() << "the dialog was still open after the script ran";
                dialog->done(QDialog::Rejected);
            }
        }
    }

    std::function<void(Dialog&)> answer_;
    QTimer poll_;
    QElapsedTimer clock_;
    bool answered_ = false;
};

} // namespace jbx::testing
