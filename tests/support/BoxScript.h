#pragma once

#include "platform/ui/Boxes.h"

#include <deque>
#include <vector>

// Answers the system's message and input boxes during one test and records
// every box shown. Answers are taken in order; when none is queued a box is
// answered OK (an input box: OK with its value unchanged).
class BoxScript {
public:
    BoxScript();
    ~BoxScript();
    BoxScript(const BoxScript &) = delete;
    BoxScript &operator=(const BoxScript &) = delete;

    void ok(const QString &value = {}); // next box: OK (input box: with value)
    void okKeep();                      // next box: OK, input value unchanged
    void cancel();                      // next box: Cancel

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
    std::vector<boxes::Request> seen_;
    boxes::Responder previous_;
};
