#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

// Acts on modal dialogs from inside their own message loops: each planned
// action waits, in order, for the next shown modal widget of its class. The
// action runs from a queued call, so that a dialog it opens in turn can be
// driven by the next action.
//
// Nothing waits for ever: when, for `deadline`, no step has matched and the
// active modal widget has not changed while a step is pending or a modal
// widget is showing, the running test fails naming the step (or the widget
// nobody drives), the plan is dropped and the modal widget is closed (a
// dialog rejected, its own handlers bypassed), so its exec() returns. Steps
// still pending when the driver goes fail the test too. The deadline is
// checked only while an event loop runs, which is where a test can hang.
class ModalDriver {
public:
    explicit ModalDriver(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;

    template <class T> void then(std::function<void(T *)> action)
    {
        add(
            T::staticMetaObject.className(), [](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
            [action](QWidget *w) { action(qobject_cast<T *>(w)); });
    }
    bool done() const { return plan_.empty(); }

private:
    struct Step {
        std::string name; // "step 2, then<TfrmLogin>"
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> act;
    };

    void add(const char *className, std::function<bool(QWidget *)> matches, std::function<void(QWidget *)> act);
    void poll();
    void giveUp(QWidget *shown);

    QTimer timer_;
    std::deque<Step> plan_;
    QPointer<QWidget> last_;  // the widget the last step acted on
    QPointer<QWidget> shown_; // the active modal widget at the last poll
    std::chrono::milliseconds deadline_;
    std::chrono::steady_clock::time_point since_; // the last step matched or modal widget changed
    int planned_ = 0;                             // steps planned so far, to number them
};
