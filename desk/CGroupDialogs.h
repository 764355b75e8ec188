#pragma once

#include "desk/RecordDialogs.h"

#include <QStringList>

class QListWidget;
class QTreeWidgetItem;

// The two dialogs of the contact groups in the contacts window (TfrmTermMan).

// Both dialogs refuse, with a box and before anything is written, a name
// that the tree file cannot give back as the same node: empty, a blank at
// either end, a TAB, line break or other control character, or a character
// that GBK cannot hold.

// "新建组": cgroup (GROUPNAME, DISCRIBE; parent left empty), one group after
// another, each with its operlog row "增加组" + name, all or nothing. Only
// groups created count: "关闭" closes with Accepted when at least one was.
// Each group created is added to CreatedNames, so the window adds a node
// for every one, and leaves its name in NewGroupName; a failed attempt
// ("新增记录失败,请检查组名称是否重复") changes neither.
class TfrmNewCGroup : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewCGroup();
    ~TfrmNewCGroup() override;

    QLineEdit *Edit2; // "描述"
    // The groups created in this opening, in order.
    QStringList CreatedNames;

protected:
    bool OwnCheck() override;
    void AssignFields(TAdoQuery &row) override;
    void Created() override;
};

// "编辑组": the group whose name is the caption of the window's selected
// row in ListView2, its description and its members ("成员", CheckListBox1:
// the members ticked in the order stored, then every other contact
// unticked). "确定" (Button1) saves, all or nothing: the group row found by
// its name as loaded, the parent of every group whose parent was that name,
// then the member rows under the name as now typed (rows under the former
// name stay, as tasks may still name it). After the save every node of the
// window's tree that carried the former name carries the new one, the
// window's tree-change handler re-lists its selected node, and the window's
// Changed is set from Modified. "取消" (Button2) writes nothing.
class TfrmEditCGroup : public TEditRecordDialog {
    Q_OBJECT
public:
    // window: the contacts window (its ListView2, TreeView1 and Changed).
    // Throws EDatabaseError when the group or the contacts cannot be read.
    explicit TfrmEditCGroup(TManagerFrame *window);
    ~TfrmEditCGroup() override;

    QLineEdit *Edit2;           // "描述"
    QListWidget *CheckListBox1; // "成员"

protected:
    bool OwnCheck() override;
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
    void LoadLinks(const QString &key) override;
    void SaveLinks() override;
    void Saved() override;

private:
    TManagerFrame *const window_;
};

// Gives every node from node down, at any depth, whose text is exactly
// oldText the text newText.
void RenameTreeNodes(QTreeWidgetItem *node, const QString &oldText, const QString &newText);

// The latest dialogs of each kind while open; null otherwise.
// Set by each dialog's constructor and cleared by its destructor. Kept for
// the dialogs' callers as designed; nothing here reads them.
extern TfrmNewCGroup *frmNewCGroup;
extern TfrmEditCGroup *frmEditCGroup;
