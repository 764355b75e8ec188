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
// dragged to arrange the tree (a node moves only once its group's parent is
// stored; a failed write is told and the tree stays), and groups from
// ListView2 onto nodes to put them in the tree. One window at a time, an
// MDI child freed when it closes.
// Below the group tree the message tree TreeView2 ("通信记录") lists the
// received messages (ListView3, in front of the other lists while shown);
// the contacts list's popup PopupMenu3 writes, dials, mails and sends LAN
// messages, and "读入手机电话本" starts the SIM phone-book import.
// Main thread. Defined in TermMan.cpp; the contact actions and received
// messages in TermManActions.cpp.
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

    // Contact actions and received messages (TermManActions.cpp).
    // A node of the message tree selected: "未读短信" brings ListView3 in
    // front as it is, without reloading it.
    void TreeView2Change(QTreeWidgetItem *node);
    // A click on the message tree, for its selected node: "未读短信" and
    // "已读短信" fill ListView3 with the unread or read messages, oldest
    // first, and bring it in front; other nodes do nothing. Throws
    // EDatabaseError.
    void TreeView2Click();
    void TreeView1Click(); // any click on the group tree hides ListView3
    // Opens the selected received message: every sms_toread row with its
    // number and text is marked "已读", its row leaves ListView3, and the
    // reply dialog shows it with the sender's contact (the first whose
    // CONTACT is the number, or none). Nothing without a selected row.
    // Throws EDatabaseError before the dialog is shown.
    void ListView3DblClick();
    // "发送短消息": the compose dialog for the first selected contact.
    void N5Click();
    // "呼叫手机": asks the engine to dial the first selected contact's
    // CONTACT, or its PHONE when CONTACT is empty; a number of nothing but
    // blanks, or one holding a control character or ';' (which would end or
    // chain the modem's command), is refused with "呼叫失败，没有被叫号码!".
    // Throws EDatabaseError.
    void N6Click();
    void N7Click(); // "发电子邮件": a mail link to MailAddress
    // "发网络消息": asks for a text and sends it as a LAN pop-up message to
    // the first selected contact's LanID (lan::sendMessage); the main
    // window's status bar tells the outcome when it is known. Throws
    // EDatabaseError.
    void N8Click();
    void read1Click(); // "读入手机电话本": the engine imports the SIM phone book

    static const QString MailAddress; // of "发电子邮件"
    static const QString LanSender;   // the sender of LAN messages

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

    TListView *ListView3; // received messages: number, text, time
    QMenu *PopupMenu3;    // of ListView1
    QAction *N5;          // "发送短消息"
    QAction *N6;          // "呼叫手机"
    QAction *N7;          // "发电子邮件"
    QAction *N8;          // "发网络消息"

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
    void buildContactActions();
    void showReceived();
    // The key of ListView1's first selected row, or "" after telling the
    // operator to choose a contact.
    QString chosenContact();

    QString detailKey_; // the contact the detail panel shows; "" to look up afresh
};

// The open contacts window; null while none is open.
extern TfrmTermMan *frmTermMan;

// The name of the last group the new-group dialog created ("" before any).
extern QString NewGroupName;
