#pragma once

// A minimal management window and its dialogs, built only from the frame
// and the record-dialog pattern, as a later window of the desk would be.
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/ManagerFrame.h"
#include "desk/RecordDialogs.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class TTestMan;
inline TTestMan *frmTestMan = nullptr;
inline int newDialogsMade = 0;
inline int editDialogsMade = 0;

// New type: smstype (TYPEID, NAME); the name "bad" is refused by its own check.
class TTestNewType : public TNewRecordDialog {
    Q_OBJECT
public:
    TTestNewType()
        : TNewRecordDialog({QStringLiteral("新类型"), "smstype", "TYPEID", QStringLiteral("增加类型"),
                            QStringLiteral("新增记录失败,请检查类型编号是否重复")})
    {
        Edit2->setObjectName("Edit2");
        auto *form = new QFormLayout(this);
        form->addRow(QStringLiteral("类型ID"), Edit1);
        form->addRow(QStringLiteral("类型名"), Edit2);
        form->addRow(Button1, Button2);
    }
    QLineEdit *Edit2 = new QLineEdit(this);

protected:
    bool OwnCheck() override
    {
        if (Edit2->text() != "bad")
            return true;
        boxes::showMessage(QStringLiteral("类型名不能为bad"));
        return false;
    }
    void AssignFields(TAdoQuery &row) override { row.FieldByName("NAME")->SetAsString(Edit2->text().toStdString()); }
};

// Edit type: no link rows.
class TTestEditType : public TEditRecordDialog {
    Q_OBJECT
public:
    explicit TTestEditType(TManagerFrame *manager, TListView *list)
        : TEditRecordDialog({QStringLiteral("编辑消息类型"), "smstype", "TYPEID",
                             QStringLiteral("记录更新失败,请检查类型编号是否重复!")},
                            manager, list)
    {
        Edit2->setObjectName("Edit2");
        auto *form = new QFormLayout(this);
        form->addRow(QStringLiteral("类型ID"), Edit1);
        form->addRow(QStringLiteral("类型名"), Edit2);
        form->addRow(OkButton, CancelButton);
        FormCreate();
    }
    QLineEdit *Edit2 = new QLineEdit(this);

protected:
    void LoadFields(TAdoQuery &row) override
    {
        Edit2->setText(QString::fromStdString(row.FieldByName("NAME")->AsString()));
    }
    void SaveFields(TAdoQuery &row) override { row.FieldByName("NAME")->SetAsString(Edit2->text().toStdString()); }
};

// Edit work group: workgroup (GROUPNAME, DISCRIBE) and its members in oper_group.
class TTestEditGroup : public TEditRecordDialog {
    Q_OBJECT
public:
    explicit TTestEditGroup(TManagerFrame *manager, TListView *list)
        : TEditRecordDialog({QStringLiteral("编辑组"), "workgroup", "GROUPNAME",
                             QStringLiteral("更新纪录失败，请检查组名是否重复！"), false, "Button1", "Button2"},
                            manager, list)
    {
        Edit2->setObjectName("Edit2");
        CheckListBox1->setObjectName("CheckListBox1");
        auto *form = new QFormLayout(this);
        form->addRow(QStringLiteral("组名"), Edit1);
        form->addRow(QStringLiteral("描述"), Edit2);
        form->addRow(QStringLiteral("成员"), CheckListBox1);
        form->addRow(OkButton, CancelButton);
        Links = {{CheckListBox1, "select * from operater", "WORKCODE", "oper_group", "workcode", "groupname"}};
        FormCreate();
    }
    QLineEdit *Edit2 = new QLineEdit(this);
    QListWidget *CheckListBox1 = new QListWidget(this);

protected:
    void LoadFields(TAdoQuery &row) override
    {
        Edit2->setText(QString::fromStdString(row.FieldByName("DISCRIBE")->AsString()));
    }
    void SaveFields(TAdoQuery &row) override { row.FieldByName("DISCRIBE")->SetAsString(Edit2->text().toStdString()); }
};

// Two categories: "类型" (ListView1) and "组" (ListView2).
class TTestMan : public TManagerFrame {
    Q_OBJECT
public:
    TTestMan()
        : TManagerFrame({QStringLiteral("测试管理"), 70},
                        {{QStringLiteral("类型"),
                          {{QStringLiteral("类型编号"), 80}, {QStringLiteral("类型名"), 200}},
                          false,
                          [] {
                              ++newDialogsMade;
                              return new TTestNewType;
                          },
                          [this] {
                              ++editDialogsMade;
                              return new TTestEditType(this, ListView(1));
                          },
                          {"SmsType", "TYPEID"}},
                         {QStringLiteral("组"),
                          {{QStringLiteral("组名"), 100}, {QStringLiteral("描述"), 300}},
                          false,
                          {},
                          [this] {
                              ++editDialogsMade;
                              return new TTestEditGroup(this, ListView(2));
                          },
                          {"workgroup", "GROUPNAME"}}})
    {
        FormCreate();
    }
    ~TTestMan() override
    {
        if (frmTestMan == this)
            frmTestMan = nullptr;
    }

    void Refresh() override
    {
        ++refreshes;
        load(ListView(1), "select * from smstype", "TYPEID", "NAME");
        load(ListView(2), "select * from workgroup", "GROUPNAME", "DISCRIBE");
    }
    int refreshes = 0;

private:
    static void load(TListView *list, const char *sql, const char *key, const char *other)
    {
        list->Clear();
        TAdoQuery &q = desk::open(desk::Db().Query1, sql);
        for (; !q.Eof(); q.Next())
            list->AddItem(QString::fromStdString(q.FieldByName(key)->AsString()),
                          {QString::fromStdString(q.FieldByName(other)->AsString())}, 0);
        q.Close();
    }
};
