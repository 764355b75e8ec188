#include "harness/BoxScript.h"
#include "harness/TestName.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

const char *kindName(boxes::Kind kind)
{
    switch (kind) {
    case boxes::Kind::Message: return "message";
    case boxes::Kind::Confirm: return "confirm";
    case boxes::Kind::Error: return "error";
    case boxes::Kind::Input: return "input";
    case boxes::Kind::OpenPicture: return "picture";
    }
    return "unknown";
}

} // namespace

boxes::Answer answerUnplanned(const boxes::Request &request)
{
    ADD_FAILURE() << "unplanned " << kindName(request.kind) << " box in " << currentTestName() << ": \""
                  << request.text.toStdString() << "\" (caption \"" << request.caption.toStdString()
                  << "\"); answered OK";
    return {true, request.value};
}

BoxScript::BoxScript()
{
    previous_ = boxes::setResponder([this](const boxes::Request &r) {
        seen_.push_back(r);
        if (plan_.empty())
            return okAll_ ? boxes::Answer{true, r.value} : answerUnplanned(r);
        const Planned p = plan_.front();
        plan_.pop_front();
        return boxes::Answer{p.ok, p.keep ? r.value : p.value};
    });
}

BoxScript::~BoxScript() { boxes::setResponder(previous_); }

void BoxScript::ok(const QString &value) { plan_.push_back({true, false, value}); }
void BoxScript::okKeep() { plan_.push_back({true, true, {}}); }
void BoxScript::cancel() { plan_.push_back({false, true, {}}); }

QStringList BoxScript::texts() const
{
    QStringList out;
    for (const auto &r : seen_)
        out << r.text;
    return out;
}
