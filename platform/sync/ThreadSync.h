#pragma once

#include <functional>

// Running a call on the Qt main thread while the calling thread waits for it,
// and waiting on the main thread for something while such calls are served.
// The calls are posted to the application object, so they also run inside
// modal loops (message boxes, dialogs) and every other event loop of the main
// thread.
namespace threadsync {

// True on the thread that owns the QCoreApplication.
bool isMainThread();

// Runs call on the main thread and returns once it has returned; an exception
// that escapes it is rethrown here. On the main thread, or when there is no
// QCoreApplication, it runs at once on the calling thread. The caller must not
// hold anything that the main thread waits for.
void synchronize(const std::function<void()> &call);

// Main thread only: runs the calls that other threads wait for in synchronize()
// until done() holds; sleeps in between (no event loop runs). Whoever makes
// done() true must call wake() afterwards.
void serveUntil(const std::function<bool()> &done);
void wake();

// Calls waiting to be run on the main thread.
int pending();

} // namespace threadsync
