// contactsbench [contacts] [groups]: times the contacts window on a work
// folder of its own (offscreen unless a display is asked for):
//   (a) a click on the tree node "联系人" until every row of client
//       (default 100000) is listed and painted; target under 1 s;
//   (b) reading a "TreeView.Txt" of that many groups (default 1000),
//       nested up to four levels deep; target under 0.2 s.
// Prints the median and the worst of several runs and exits 1 when a median
// misses its target.
#include "codec/Gbk.h"
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "desk/ListView.h"
#include "desk/TermMan.h"
#include "desk/TreeFile.h"
#include "platform/ado/Ado.h"
#include "tools/bench/Times.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int Runs = 7;

void fillContacts(long rows)
{
    TAdoConnection db(TDataModule1::ConnectionString);
    db.Open();
    db.Execute("BEGIN");
    db.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" + std::to_string(rows) +
               ") INSERT INTO client (CLIENTID, CONTACT, NAME, PERSONID, Sex) SELECT '联系人' || substr('000000' || x, "
               "-6, 6), '139' || substr('00000000' || x, -8, 8), '客户' || x, 'P' || x, CASE x % 2 WHEN 0 THEN '女' "
               "ELSE '男' END FROM c");
    db.Execute("COMMIT");
}

void writeTree(int groups)
{
    std::string bytes = gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n");
    for (int i = 0; i < groups; ++i)
        bytes += std::string(1 + i % 4, '\t') + gbk::fromUtf8("客户组" + std::to_string(i)) + "\r\n";
    std::ofstream("TreeView.Txt", std::ios::binary) << bytes;
}

double clickMs(TfrmTermMan &win, QTreeWidgetItem *node)
{
    QTreeWidget *tree = win.TreeView1;
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    QCoreApplication::processEvents(); // layout and paint of the list
    win.ListView(1)->grab();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long contacts = argc > 1 ? std::stol(argv[1]) : 100000;
    const int groups = argc > 2 ? std::stoi(argv[2]) : 1000;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    workfolder::create(dir.path().toStdString());
    QFile::remove("TreeView.Txt");
    writeTree(groups);
    fillContacts(contacts);
    DataModule1 = new TDataModule1;

    // (b) the tree file alone, then as the window reads it.
    std::vector<double> loads;
    for (int i = 0; i < Runs; ++i) {
        TTreeView tree;
        QString error;
        QElapsedTimer t;
        t.start();
        if (treefile::load(&tree, "TreeView.Txt", error) != treefile::Loaded::Read) {
            std::fprintf(stderr, "tree file: %s\n", qPrintable(error));
            return 1;
        }
        loads.push_back(t.nsecsElapsed() / 1e6);
    }

    auto *win = new TfrmTermMan;
    win->resize(1000, 700);
    win->show();
    QCoreApplication::processEvents();
    QTreeWidgetItem *all = win->TreeView1->topLevelItem(0);
    QTreeWidgetItem *groupRoot = win->TreeView1->topLevelItem(1);
    std::vector<double> clicks;
    for (int i = 0; i < Runs; ++i) {
        clickMs(*win, groupRoot);
        clicks.push_back(clickMs(*win, all));
        if (win->ListView(1)->Count() != contacts) {
            std::fprintf(stderr, "listed %d of %ld contacts\n", win->ListView(1)->Count(), contacts);
            return 1;
        }
    }
    delete win;
    delete DataModule1;
    DataModule1 = nullptr;

    const Times a = summary(clicks), b = summary(loads);
    const bool ok = a.median < 1000 && b.median < 200;
    std::printf("(a) click on \"联系人\", %ld contacts listed: median %.1f ms, worst %.1f ms (target < 1000 ms)\n",
                contacts, a.median, a.worst);
    std::printf("(b) tree file of %d groups read:          median %.1f ms, worst %.1f ms (target < 200 ms)\n", groups,
                b.median, b.worst);
    return ok ? 0 : 1;
}
