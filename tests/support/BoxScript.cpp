#include "support/BoxScript.h"

#include <QStringList>

BoxScript::BoxScript()
{
    previous_ = boxes::setResponder([this](const boxes::Request &r) {
        seen_.push_back(r);
        Planned p{true, true, {}};
        if (!plan_.empty()) {
            p = plan_.front();
            plan_.pop_front();
        }
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
