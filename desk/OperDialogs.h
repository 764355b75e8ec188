#pragma once

#include "desk/RecordDialogs.h"

class QGroupBox;
class QLineEdit;
class QListWidget;

// The six record dialogs of the operator manager (TOperManage). The Edit
// dialogs take their key from the manager's list they are given and load in
// the constructor (throws EDatabaseError).

// A message dialog with the error icon: the password and its confirmation
// differ. Returns true when they are equal.
bool passwordsMatch(QWidget *owner, const QLineEdit *password, const QLineEdit *confirmation);

// "新建操作员": operater (WORKCODE, NAME, DISCRIBE, PASSWORD); the password
// must equal its confirmation.
class TfrmNewOper : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewOper();
    QLineEdit *Edit2; // NAME
    QLineEdit *Edit3; // DISCRIBE
    QLineEdit *Edit4; // PASSWORD
    QLineEdit *Edit5; // its confirmation

protected:
    bool OwnCheck() override;
    void AssignFields(TAdoQuery &row) override;
};

// "编辑用户属性": an operator and the work groups it belongs to (oper_group).
// The supervisor's work code is read-only.
class TfrmEditOper : public TEditRecordDialog {
    Q_OBJECT
public:
    TfrmEditOper(TManagerFrame *manager, TListView *list);
    QLineEdit *Edit2;
    QLineEdit *Edit3;
    QLineEdit *Edit4;
    QLineEdit *Edit5;
    QGroupBox *GroupBox1; // "隶属组"
    QListWidget *CheckListBox1;

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
    bool OwnCheck() override;
};

// "新建组": workgroup (GROUPNAME, DISCRIBE).
class TfrmNewGroup : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewGroup();
    QLineEdit *Edit2;

protected:
    void AssignFields(TAdoQuery &row) override;
};

// "编辑组": a work group, its members (oper_group) and its modules
// (group_module).
class TfrmEditGroup : public TEditRecordDialog {
    Q_OBJECT
public:
    TfrmEditGroup(TManagerFrame *manager, TListView *list);
    QLineEdit *Edit2;
    QListWidget *CheckListBox1; // "成员"
    QListWidget *CheckListBox2; // "有权访问的模块"

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
};

// "新模块": module (MODULEID, NAME, DISCRIBE).
class TfrmNewModule : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewModule();
    QLineEdit *Edit2;
    QLineEdit *Edit3;

protected:
    void AssignFields(TAdoQuery &row) override;
};

// "编辑模块": a module and the work groups that may use it (group_module).
class TfrmEditModule : public TEditRecordDialog {
    Q_OBJECT
public:
    TfrmEditModule(TManagerFrame *manager, TListView *list);
    QLineEdit *Edit2;
    QLineEdit *Edit3;
    QGroupBox *GroupBox1; // "有访问权限的组"
    QListWidget *CheckListBox1;

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
};
