#pragma once

#include "platform/ui/Boxes.h"

#include <deque>
#include <vector>

// Answers the system's message and input boxes during one test and records
// every box shown. Answers are taken in order. A box with no answer queued
// fails the running test (see answerUnplanned); every box, planned or not,
// is recorded in seen().
class BoxScript {
public:
    BoxScript();
    ~BoxScript();
    BoxScript(const BoxScript &) = delete;
    BoxScript &operator=(const BoxScript &) = delete;

    void ok(const QString &value = {}); // next box: OK (input box: with value)
    void okKeep();                      // next box: OK, input value unchanged
    void cancel();                      // next box: Cancel
    // Every box after the queued answers: OK, an input value unchanged; for
    // a box a test expects an unknown number of times.
    void okAll() { okAll_ = true; }

    const std::vector<boxes::Request> &seen() const { return seen_; }
    QStringList texts() const; // the text of every box shown, in order
    void clear() { seen_.clear(); }

private:
    struct Planned {
        bool ok;
        bool keep;
        QString value;
    };
    std::deque<Planned> plan_;
    bool okAll_ = false;
    std::vector<boxes::Request> seen_;
    boxes::Responder previous_;
};

// The answer to a box that no test planned: a non-fatal failure of the
// running test that names the test, the box's kind, caption and text; the
// box is then answered OK (an input box: with its value unchanged), so the
// program under test goes on as a user pressing Enter would make it.
boxes::Answer answerUnplanned(const boxes::Request &request);
