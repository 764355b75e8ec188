// The keyboard way through every record dialog: Tab visits the fields in
// their order, then the buttons, then comes back to the first field.
#include "DeskFixture.h"

#include "desk/CGroupDialogs.h"
#include "desk/EditClient.h"
#include "desk/EditTask.h"
#include "desk/ListView.h"
#include "desk/NewClient.h"
#include "desk/NewTask.h"
#include "desk/OperDialogs.h"
#include "desk/SmsDialogs.h"

#include <QLineEdit>
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

class RecordDialogsTab : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        login();
        add("smsdata", {{"SMSID", "1"}, {"TITLE", "t"}});
        templates.AddItem("1");
        templates.SetSelected(0, true);
    }
    TListView templates;
};

TEST_F(RecordDialogsTab, FieldsFirstThenTheButtons)
{
    const QStringList client = {"Edit1",     "Edit3",   "EditPhone", "EditLanID",    "EditCompany",  "EditHeadShip",
                                "EditEmail", "EditFax", "EditAddr",  "EditPostCode", "EditHomePage", "RBMale"};
    const QStringList task = {"Edit2", "Edit3", "DateTimePicker1", "DateTimePicker2", "CheckListBox1", "CheckListBox2"};
    const struct {
        std::function<QDialog *()> make;
        QStringList chain;
    } dialogs[] = {
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
         {"Edit1", "Edit3", "EditPhone", "ComboBox1", "EditCompany", "EditHeadShip", "EditEmail", "EditFax", "EditAddr",
          "EditPostCode", "EditHomePage", "EditOICQ", "RBMale", "Button1", "Button2"}},
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
    for (const auto &d : dialogs) {
        std::unique_ptr<QDialog> dialog(d.make());
        // "创建" takes part once a key is typed.
        if (auto *key = dialog->findChild<QLineEdit *>("Edit1"); key && key->isEnabled() && key->text().isEmpty())
            key->setText("1");
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_EQ(tabChain(dialog.get(), dialog->findChild<QWidget *>(d.chain.front())),
                  d.chain.join(' ').toStdString())
            << dialog->objectName().toStdString();
    }
}

} // namespace
