#include "platform/sync/ThreadSync.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace threadsync {
namespace {

struct Request {
    const std::function<void()> *call;
    std::exception_ptr error;
    bool done = false;
};

std::mutex g_mutex;
std::condition_variable g_cv;
std::deque<Request *> g_queue;

// Runs every waiting call, oldest first; main thread only.
void serveWaiting()
{
    for (;;) {
        Request *request;
        {
            std::lock_guard lock(g_mutex);
            if (g_queue.empty())
                return;
            request = g_queue.front();
            g_queue.pop_front();
        }
        std::exception_ptr error;
        try {
            (*request->call)();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(g_mutex);
            request->error = std::move(error); // the waiting thread alone frees it
            request->done = true;              // the waiter may free the request from here on
        }
        g_cv.notify_all();
    }
}

// Runs the waiting calls when its wake-up event arrives on the main thread.
// A plain event rather than a queued functor: Qt hands posted events between
// threads under locks that ThreadSanitizer cannot see, so a functor made here
// and freed there reads as a race. The event is never read here, and
// serveWaiting takes the queue's lock before Qt frees it.
class Server : public QObject {
protected:
    void customEvent(QEvent *) override { serveWaiting(); }
};

// Made once, by whichever thread comes first, and handed to the main thread.
Server *server(QCoreApplication *app)
{
    static Server *const made = [app] {
        auto *s = new Server;
        s->moveToThread(app->thread());
        return s;
    }();
    return made;
}

} // namespace

bool isMainThread()
{
    auto *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void synchronize(const std::function<void()> &call)
{
    auto *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        call();
        return;
    }
    // Made before the request is queued: the main thread takes the queue's
    // lock before Qt frees the event, which orders the making before the freeing.
    auto *wakeUp = new QEvent(QEvent::User);
    Request request{&call, nullptr, false};
    {
        std::lock_guard lock(g_mutex);
        g_queue.push_back(&request);
    }
    g_cv.notify_all(); // a main thread in serveUntil
    QCoreApplication::postEvent(server(app), wakeUp);
    std::unique_lock lock(g_mutex);
    g_cv.wait(lock, [&] { return request.done; });
    if (request.error)
        std::rethrow_exception(request.error);
}

void serveUntil(const std::function<bool()> &done)
{
    for (;;) {
        serveWaiting();
        std::unique_lock lock(g_mutex);
        if (done())
            return;
        g_cv.wait(lock, [&] { return !g_queue.empty() || done(); });
        if (g_queue.empty())
            return;
    }
}

void wake()
{
    std::lock_guard lock(g_mutex);
    g_cv.notify_all();
}

int pending()
{
    std::lock_guard lock(g_mutex);
    return static_cast<int>(g_queue.size());
}

} // namespace threadsync
