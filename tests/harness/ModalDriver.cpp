#include "harness/ModalDriver.h"
#include "harness/TestName.h"

#include <QApplication>
#include <QDialog>
#include <gtest/gtest.h>

namespace {

std::string describe(QWidget *w)
{
    if (!w)
        return "no modal widget";
    return std::string(w->metaObject()->className()) + " \"" + w->windowTitle().toStdString() + "\"";
}

} // namespace

ModalDriver::ModalDriver(std::chrono::milliseconds deadline)
    : deadline_(deadline), since_(std::chrono::steady_clock::now())
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalDriver::~ModalDriver()
{
    if (!plan_.empty())
        ADD_FAILURE() << "modal plan " << plan_.front().name << " never met its dialog in " << currentTestName() << " ("
                      << plan_.size() << " step(s) left)";
}

void ModalDriver::add(const char *className, std::function<bool(QWidget *)> matches, std::function<void(QWidget *)> act)
{
    if (plan_.empty())
        since_ = std::chrono::steady_clock::now(); // a new wait begins
    plan_.push_back(
        {"step " + std::to_string(++planned_) + ", then<" + className + ">", std::move(matches), std::move(act)});
}

void ModalDriver::poll()
{
    const auto now = std::chrono::steady_clock::now();
    QWidget *w = QApplication::activeModalWidget();
    if (w && !w->isVisible())
        w = nullptr;
    if (w != shown_) {
        shown_ = w;
        since_ = now;
    }
    if (!plan_.empty() && w && w != last_ && plan_.front().matches(w)) {
        Step step = std::move(plan_.front());
        plan_.pop_front();
        last_ = w;
        since_ = now;
        QPointer<QWidget> target = w;
        QTimer::singleShot(0, [step, target] {
            if (target)
                step.act(target);
        });
        return;
    }
    if ((plan_.empty() && !w) || now - since_ < deadline_)
        return;
    giveUp(w);
}

void ModalDriver::giveUp(QWidget *shown)
{
    if (!plan_.empty())
        ADD_FAILURE() << "modal plan " << plan_.front().name << " met no matching dialog within " << deadline_.count()
                      << " ms in " << currentTestName() << "; showing " << describe(shown) << "; the plan is dropped"
                      << (shown ? " and the widget closed" : "");
    else
        ADD_FAILURE() << "modal " << describe(shown) << " stayed open " << deadline_.count()
                      << " ms with no step planned in " << currentTestName() << "; it is closed";
    plan_.clear();
    since_ = std::chrono::steady_clock::now();
    if (!shown)
        return;
    if (auto *d = qobject_cast<QDialog *>(shown))
        d->QDialog::done(QDialog::Rejected); // ends exec() whatever the dialog's own reject() does
    else if (!shown->close())
        shown->hide();
}
