// The dialogs as a keyboard and a small screen meet them: Tab visits the
// fields of every record dialog in their order, then the buttons; every
// dialog and window lies inside the test screen of 1024 x 768 with its
// buttons in sight (the contact editor asks for more than that height: it
// may be shrunk further and scrolls); an input box is centred and keeps its
// title whole.
#include "DeskFixture.h"

#include "desk/CGroupDialogs.h"
#include "desk/EditClient.h"
#include "desk/EditTask.h"
#include "desk/ListView.h"
#include "desk/Login.h"
#include "desk/NewClient.h"
#include "desk/NewSMS.h"
#include "desk/NewTask.h"
#include "desk/OperDialogs.h"
#include "desk/ReadSMS.h"
#include "desk/SmsDialogs.h"
#include "desk/about.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <memory>

namespace {

// The name the operator would know the focused widget by: its own, or that
// of the named widget it is part of (the editor inside a date picker).
QString focusedName(QWidget *dialog)
{
    for (QWidget *w = dialog->focusWidget(); w && w != dialog; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            return w->objectName();
    return "?";
}

// From the first field, the names Tab visits until it is back there, each
// once (Tab goes through the sections of a date picker first).
std::string tabChain(QDialog *dialog, QWidget *first)
{
    first->setFocus(Qt::TabFocusReason);
    QStringList visited{focusedName(dialog)};
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        if (dialog->focusWidget() == first)
            return visited.join(' ').toStdString();
        if (focusedName(dialog) != visited.back())
            visited << focusedName(dialog);
    }
    return (visited.join(' ') + " (no way back to the first field)").toStdString();
}

// What of window lies outside its screen's available area: the window with
// its frame, and each button outside a scrolling view that is not wholly
// shown or not on the screen.
std::string outside(QWidget *window)
{
    const QRect area = window->screen()->availableGeometry();
    std::string out;
    if (!area.contains(window->frameGeometry()))
        out += "the window ";
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (!b->isVisibleTo(window))
            continue;
        bool scrolls = false;
        for (QWidget *w = b->parentWidget(); w != window && !scrolls; w = w->parentWidget())
            scrolls = qobject_cast<QAbstractScrollArea *>(w) != nullptr;
        if (!scrolls &&
            (b->visibleRegion() != QRegion(b->rect()) || !area.contains(QRect(b->mapToGlobal(QPoint()), b->size()))))
            out += b->objectName().toStdString() + " ";
    }
    return out;
}

class DialogLayout : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        add("smsdata", {{"SMSID", "1"}, {"TITLE", "t"}});
        templates.AddItem("1");
        templates.SetSelected(0, true);
    }

    // Every record dialog, with the names Tab visits from its first field.
    std::vector<std::pair<std::function<QDialog *()>, QStringList>> recordDialogs()
    {
        const QStringList client = {"Edit1",     "Edit3",   "EditPhone", "EditLanID",    "EditCompany",  "EditHeadShip",
                                    "EditEmail", "EditFax", "EditAddr",  "EditPostCode", "EditHomePage", "RBMale"};
        const QStringList task = {"Edit2",           "Edit3",         "DateTimePicker1",
                                  "DateTimePicker2", "CheckListBox1", "CheckListBox2"};
        return {
            {[] { return new TfrmNewOper; }, {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Button1", "Button2"}},
            {[] { return new TfrmEditOper(nullptr, nullptr); },
             {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "CheckListBox1", "Button3", "Button4"}},
            {[] { return new TfrmNewGroup; }, {"Edit1", "Edit2", "Button1", "Button2"}},
            {[] { return new TfrmEditGroup(nullptr, nullptr); },
             {"Edit1", "Edit2", "CheckListBox1", "CheckListBox2", "Button1", "Button2"}},
            {[] { return new TfrmNewModule; }, {"Edit1", "Edit2", "Edit3", "Button1", "Button2"}},
            {[] { return new TfrmEditModule(nullptr, nullptr); },
             {"Edit1", "Edit2", "Edit3", "CheckListBox1", "Button3", "Button4"}},
            {[] { return new TfrmNewClient; },
             {"Edit1", "Edit3", "EditPhone", "ComboBox1", "EditCompany", "EditHeadShip", "EditEmail", "EditFax",
              "EditAddr", "EditPostCode", "EditHomePage", "EditOICQ", "RBMale", "Button1", "Button2"}},
            {[] { return new TfrmEditClient(nullptr, nullptr); },
             client + QStringList{"CheckListBox1", "PageControl1", "Button3", "Button4"}},
            {[] { return new TfrmNewCGroup; }, {"Edit1", "Edit2", "Button1", "Button2"}},
            {[] { return new TfrmEditCGroup(nullptr); }, {"Edit1", "Edit2", "CheckListBox1", "Button1", "Button2"}},
            {[] { return new TfrmNewSmsType; }, {"Edit1", "Edit2", "Button1", "Button2"}},
            {[] { return new TfrmEditSmsType(nullptr, nullptr); }, {"Edit1", "Edit2", "Button3", "Button4"}},
            {[] { return new TfrmNewSmsData; },
             {"Edit1", "Edit2", "SpeedButton1", "SpeedButton2", "Edit3", "Memo1", "Button1", "Button2"}},
            {[this] { return new TfrmEditSmsData(nullptr, &templates); },
             {"Edit1", "Edit2", "SpeedButton1", "SpeedButton2", "Edit3", "Memo1", "Button3", "Button4"}},
            {[] { return new TfrmNewTask; }, task + QStringList{"Button1", "Button2"}},
            {[] { return new TfrmEditTask(nullptr); }, task + QStringList{"Button1", "Button2"}},
        };
    }

    TMainFrm *main = nullptr;
    TListView templates;
};

TEST_F(DialogLayout, TabGoesThroughTheFieldsThenTheButtons)
{
    for (const auto &[make, chain] : recordDialogs()) {
        std::unique_ptr<QDialog> dialog(make());
        // "创建" takes part once a key is typed.
        if (auto *key = dialog->findChild<QLineEdit *>("Edit1"); key && key->isEnabled() && key->text().isEmpty())
            key->setText("1");
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_EQ(tabChain(dialog.get(), dialog->findChild<QWidget *>(chain.front())), chain.join(' ').toStdString())
            << dialog->objectName().toStdString();
    }
}

TEST_F(DialogLayout, EveryWindowLiesInsideTheScreenWithItsButtons)
{
    ASSERT_EQ(main->screen()->availableGeometry().size(), QSize(1024, 768));
    std::vector<std::function<QWidget *()>> windows;
    for (const auto &[make, chain] : recordDialogs())
        windows.push_back(make);
    windows.insert(windows.end(), {
                                      [] { return new TfrmLogin; },
                                      [] { return new TfrmAbout; },
                                      [] { return new TfrmNewSMS("张三", "13800000001"); },
                                      [] { return new TfrmReadSMS("张三", "13800000001", "你好"); },
                                      [] { return new TfrmSeleSmsType(nullptr); },
                                  });
    for (const auto &make : windows) {
        std::unique_ptr<QWidget> window(make());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_EQ(outside(window.get()), "") << window->objectName().toStdString();
    }
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    EXPECT_EQ(outside(main), "");
}

TEST_F(DialogLayout, TheContactEditorShrinksBelowTheScreenAndScrolls)
{
    TfrmEditClient editor(nullptr, nullptr);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    // Capped at the screen, it may grow back to its whole contents.
    EXPECT_GE(editor.maximumHeight(), editor.layout()->totalSizeHint().height());
    const int half = editor.height() / 2;
    editor.resize(editor.width(), half);
    QTRY_COMPARE(editor.height(), half);
    QTRY_VERIFY(editor.findChild<QScrollArea *>("ScrollBox1")->verticalScrollBar()->isVisible());
    EXPECT_EQ(outside(&editor), "");
}

TEST_F(DialogLayout, AnInputBoxIsCentredAndWideEnoughForItsTitle)
{
    main->show(); // whose frame tells the box's before it is shown
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    const QString title = QStringLiteral("请输入新的中心号码");
    const boxes::Responder script = boxes::setResponder({}); // the real box
    modal.then<QInputDialog>([&](QInputDialog *box) {
        QFont bold = box->font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        // Beside the title, the window manager's icon and buttons.
        EXPECT_GE(box->width(), metrics.horizontalAdvance(title) + 8 * metrics.height());
        EXPECT_EQ(box->frameGeometry().center(), box->screen()->availableGeometry().center());
        box->reject();
    });
    QString value = "13800100500";
    EXPECT_FALSE(boxes::inputQuery(title, "(原中心号码是：13800100500)", value));
    boxes::setResponder(script);
}

} // namespace
