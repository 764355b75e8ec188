#pragma once

#include "desk/ManagerFrame.h"

#include <QString>

class QLabel;

// "联系人和组管理": the directory of contacts and contact groups. The group
// tree TreeView1 is read from "TreeView.Txt" at creation and written back
// when the window closes: "联系人" (every contact, ListView1 with the detail
// panel Panel2), "组" (every group, ListView2) and the group nodes under it,
// nested at any depth (the members of the group of that name, ListView1).
// Contacts are dragged onto group nodes to join them, group nodes are
// dragged to arrange the tree, and groups from ListView2 onto nodes to put
// them in the tree. One window at a time, an MDI child freed when it closes.
// Main thread.
class TfrmTermMan : public TManagerFrame {
    Q_OBJECT
public:
    TfrmTermMan();
    ~TfrmTermMan() override;

    // Reloads the list that belongs to the selected tree node: for "组" the
    // group list, for any other node the contact list (every contact for
    // "联系人", else the members of the node's group); nothing while no node
    // is selected. Throws EDatabaseError.
    void Refresh() override;
    // Fills ListView1 with every contact (group "ALL"), ordered by key, or
    // with the member rows of the named group. Throws EDatabaseError.
    void DispClientsByGroup(const QString &group);

    void TreeView1Change(QTreeWidgetItem *node) override;
    bool TreeView1DragOver(QObject *source, const TTreeView::THit &hit) override;
    void TreeView1DragDrop(QObject *source, const TTreeView::THit &hit) override;
    bool TreeView1Collapsing(QTreeWidgetItem *node) override;
    void ListSelectItem(TListView *list, int row, bool selected) override;
    void SpeedButton12Click() override; // New
    // Delete of the first selected row: out of the selected group node's
    // group (the contact stays), or of the contact or group itself under
    // "联系人" or "组". Throws EDatabaseError.
    void SpeedButton11Click() override;
    void N10Click(); // "新增用户": New while a tree node is selected
    void N11Click(); // "编辑组": Edit of the selected node's group
    void N9Click();  // "删除": the selected node out of the tree (not the database)

    // Detail of the first selected contact.
    QLabel *LabelMobile;
    QLabel *LabelPhone;
    QLabel *LabelEmail;
    QLabel *LabelFax;
    QMenu *PopupMenu4; // of TreeView1
    QAction *N10;      // "新增用户"
    QAction *N9;       // "删除"
    QAction *read1;    // "读入手机电话本": the SIM import (contact actions)
    QAction *N11;      // "编辑组"

protected:
    void FormActivate() override; // reloads the group list
    bool RefuseConfirmedDelete(const QString &category, const QString &key) override;
    void Deleted(const QString &category, const QString &key) override;

private:
    void showContacts(const QString &group);
    void showGroups();
    void loadGroups();
    void removeMembership(const QString &group, const QString &key);
    void addMember(const QString &key, const QString &group);
    void moveGroupNode(QTreeWidgetItem *node, const TTreeView::THit &hit);

    QString detailKey_; // the contact the detail panel shows; "" to look up afresh
};

// The open contacts window; null while none is open.
extern TfrmTermMan *frmTermMan;

// The name of the last group the new-group dialog created ("" before any);
// read after that dialog closed with OK.
extern QString NewGroupName;
