#pragma once

// The contacts window with a few contacts and groups, for the contact
// dialogs' tests.
#include "DeskFixture.h"
#include "ModelTester.h"
#include "TreeShape.h"

#include "desk/ListView.h"
#include "desk/TermMan.h"

#include <QTableView>
#include <QTreeWidget>

class ContactsTest : public DeskTest {
protected:
    using Rows = std::vector<std::string>;

    void SetUp() override
    {
        DeskTest::SetUp();
        dir.write("TreeView.Txt", g("联系人\r\n组\r\n\t同事\r\n\tX\r\n"));
        main = login();
        add("client", {{"CLIENTID", "张三"},
                       {"CONTACT", "13800000001"},
                       {"Sex", "女"},
                       {"COMPANY", "甲公司"},
                       {"EMAIL", "z@s"},
                       {"birthday", "1990-05-06 00:00:00"}});
        add("client", {{"CLIENTID", "O'Brien"}, {"CONTACT", " "}});
        for (const char *group : {"同事", "X", "Y", "Z"})
            add("cgroup", {{"GROUPNAME", group}});
        add("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "Y"}});
        add("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "X"}});
        main->N2_old_oldClick();
        win = frmTermMan;
        ASSERT_NE(win, nullptr);
        attachModelTester(win->ListView(1)->ReportView()->model());
        select("联系人");
    }

    void select(const QString &node) const
    {
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(node, Qt::MatchExactly | Qt::MatchRecursive).value(0));
    }
    // Selects the contact's row in the contacts list.
    void pick(const QString &contact) const
    {
        TListView *list = win->ListView(1);
        list->ClearSelection();
        for (int row = 0; row < list->Count(); ++row)
            if (list->Caption(row) == contact)
                list->SetSelected(row, true);
    }
    static Rows client(const std::string &key, const char *field)
    {
        return column("select * from client where clientid=" + QuotedStr(key), field);
    }
    static Rows groupsOf(const std::string &key)
    {
        return column("select * from client_cgroup where clientid=" + QuotedStr(key), "GROUPNAME");
    }

    // A photo column of 张三's photo row ("<no row>" without one).
    static std::string photo(const char *column)
    {
        const auto rows = DeskTest::column("select * from clientphotos where clientid='张三'", column);
        return rows.empty() ? std::string("<no row>") : rows.front();
    }

    TMainFrm *main = nullptr;
    TfrmTermMan *win = nullptr;
};
