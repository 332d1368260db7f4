#include "qt/background.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <exception>
#include <memory>

namespace jbx {

namespace {

// Often enough for a bar to move smoothly, seldom enough to cost nothing.
constexpr int kPollMilliseconds = 40;

} // namespace

void RunInBackground(const std::function<void()>& work, const std::function<void()>& poll)
{
    std::exception_ptr failure;
    const std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    // Queued, so that a thread that ends before the loop starts still ends it.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&poll] { poll(); });
    timer.start(kPollMilliseconds);
    thread->start();
    loop.exec();
    // The loop also ends when the application quits; the work's results
    // and the objects it uses live on this stack, so it is waited for.
    thread->wait();
    timer.stop();
    poll();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace jbx
