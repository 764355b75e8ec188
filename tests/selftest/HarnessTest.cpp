#include "harness/BoxScript.h"
#include "harness/ModalDriver.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>
#include <functional>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// The failures f reports, kept from the running test.
std::vector<std::string> failuresOf(const std::function<void()> &f)
{
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter spy(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        f();
    }
    std::vector<std::string> out;
    for (int i = 0; i < results.size(); ++i)
        if (results.GetTestPartResult(i).failed())
            out.push_back(results.GetTestPartResult(i).message());
    return out;
}

void expectFailures(const std::vector<std::string> &failures, const std::vector<std::string> &pieces)
{
    if (pieces.empty()) {
        EXPECT_TRUE(failures.empty()) << failures.front();
        return;
    }
    ASSERT_EQ(failures.size(), 1u);
    for (const auto &piece : pieces)
        EXPECT_NE(failures[0].find(piece), std::string::npos) << failures[0] << "\nlacks: " << piece;
}

TEST(HarnessBoxes, AnUnplannedBoxFailsTheTestNamingItAndIsStillAnswered)
{
    const std::string test = "HarnessBoxes.AnUnplannedBoxFailsTheTestNamingItAndIsStillAnswered";
    const auto none = [](BoxScript &) {};
    struct Case {
        const char *name;
        bool script; // a BoxScript is alive (else only the program's own responder)
        std::function<void(BoxScript &)> plan;
        bool ok;                          // the answer the code under test gets
        QString value;                    // the input box's value afterwards ("v" before)
        std::vector<std::string> failure; // pieces of the one failure; empty: none
    };
    const std::vector<Case> cases = {
        {"nothing planned", true, none, true, "v", {"unplanned input box", test, "\"surprise\"", "\"cap\""}},
        {"no BoxScript alive", false, none, true, "v", {"unplanned input box", test, "\"surprise\""}},
        {"planned Cancel", true, [](BoxScript &b) { b.cancel(); }, false, "v", {}},
        {"planned OK", true, [](BoxScript &b) { b.ok("typed"); }, true, "typed", {}},
        {"OK for all", true, [](BoxScript &b) { b.okAll(); }, true, "v", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<BoxScript> script = c.script ? std::make_unique<BoxScript>() : nullptr;
        if (script)
            c.plan(*script);
        QString value = "v";
        bool ok = false;
        const auto failures = failuresOf([&] { ok = boxes::inputQuery("cap", "surprise", value); });
        expectFailures(failures, c.failure);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(value, c.value);
    }
    // A box beyond the plan fails, naming that box and not the planned one.
    BoxScript script;
    script.ok();
    const auto failures = failuresOf([] {
        boxes::showMessage("planned");
        boxes::showMessage("one too many");
    });
    expectFailures(failures, {"unplanned message box", "\"one too many\""});
    EXPECT_EQ(script.texts(), QStringList({"planned", "one too many"}));
}

TEST(HarnessModal, APlanThatNeverMatchesFailsAtItsDeadlineAndNothingHangs)
{
    using namespace std::chrono_literals;
    const std::string test = "HarnessModal.APlanThatNeverMatchesFailsAtItsDeadlineAndNothingHangs";
    const auto acceptInput = [](ModalDriver &m) { m.then<QInputDialog>([](QInputDialog *d) { d->accept(); }); };
    const auto nothing = [](ModalDriver &) {};
    const auto execMessage = [](ModalDriver &) { return QMessageBox(QMessageBox::NoIcon, "other", "text").exec(); };
    const auto execInput = [](ModalDriver &) { return QInputDialog().exec(); };
    // Until the driver drops its plan at the deadline (10 s at most).
    const auto spin = [](ModalDriver &m) { return QTest::qWaitFor([&] { return m.done(); }, 10000) ? -1 : -2; };
    const auto noLoop = [](ModalDriver &) { return -1; };
    struct Case {
        const char *name;
        std::function<void(ModalDriver &)> plan;
        std::function<int(ModalDriver &)> run; // its result: exec()'s, or -1 where no dialog was shown
        int result;
        std::vector<std::string> failure; // pieces of the one failure; empty: none
    };
    const std::vector<Case> cases = {
        {"another dialog shows",
         acceptInput,
         execMessage,
         QDialog::Rejected,
         {"step 1, then<QInputDialog>", "no matching dialog", "QMessageBox \"other\"", test}},
        {"no dialog while a loop runs", acceptInput, spin, -1, {"step 1, then<QInputDialog>", "no modal widget"}},
        {"a dialog nobody drives",
         nothing,
         execMessage,
         QDialog::Rejected,
         {"QMessageBox \"other\" stayed open", "no step planned", test}},
        {"the step is left at the end", acceptInput, noLoop, -1, {"step 1, then<QInputDialog> never met its dialog"}},
        {"the planned dialog is driven", acceptInput, execInput, QDialog::Accepted, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Should the driver miss its deadline, this ends the dialog instead of ctest's timeout.
        bool rescued = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, [&] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                rescued = true;
                d->reject();
            }
        });
        rescue.start(5000);
        int result = 0;
        const auto failures = failuresOf([&] {
            ModalDriver modal(200ms);
            c.plan(modal);
            result = c.run(modal);
        });
        EXPECT_FALSE(rescued);
        EXPECT_EQ(result, c.result);
        expectFailures(failures, c.failure);
    }
}

} // namespace
