#include "desk/ManagerFrame.h"

#include "data/DM1.h"
#include "desk/CoolBar.h"
#include "desk/DeskDb.h"
#include "desk/Pictures.h"
#include "desk/StatusBar.h"
#include "desk/TreeFile.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QListView>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>
#include <memory>

TManagerFrame::TManagerFrame(TManagerLook look, std::vector<TManagerCategory> categories, QWidget *parent)
    : QWidget(parent), TreeView1(new TTreeView(this)), Splitter1(new QSplitter(this)), ListArea(new QWidget(this)),
      CoolBar1(new TCoolBar(this)), StatusBar1(new TStatusBar({300, 100, 50}, this)), PopupMenu1(new QMenu(this)),
      PopupMenu2(new QMenu(this)), look_(std::move(look)), categories_(std::move(categories))
{
    setWindowTitle(look_.caption);
    StatusBar1->setObjectName("StatusBar1");
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    buildTree();
    buildLists();
    // TreeView2 after the lists: the focus chain follows the order in which
    // widgets are made.
    buildLayout();
    buildMenus();
    buildToolBar();
    // The tree is first in the tab order and has the focus when the window opens.
    TreeView1->setFocus();
    setTabOrder(TreeView1, lists_.empty() ? static_cast<QWidget *>(TreeView1) : lists_.front());
}

void TManagerFrame::buildTree()
{
    TreeView1->setObjectName("TreeView1");
    TreeView1->setMinimumWidth(40);
    TreeView1->NodeIcon = pictures::recordImage(3);
    for (const TManagerCategory &c : categories_)
        TreeView1->AddNode(nullptr, c.node);
    TreeView1->Collapsing = [this](QTreeWidgetItem *node) { return TreeView1Collapsing(node); };
    if (look_.treeDragDrop) {
        TreeView1->setDragDropMode(QAbstractItemView::DragDrop);
        TreeView1->DragOver = [this](QObject *source, QPoint at) {
            return TreeView1DragOver(source, TreeView1->HitTest(at));
        };
        TreeView1->DragDrop = [this](QObject *source, QPoint at) { TreeView1DragDrop(source, TreeView1->HitTest(at)); };
    }
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (QTreeWidgetItem *node = SelectedNode())
            TreeView1Change(node);
    });
}

void TManagerFrame::buildLists()
{
    auto *grid = new QGridLayout(ListArea);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    for (size_t i = 0; i < categories_.size(); ++i) {
        auto *list = new TListView(ListArea);
        list->setObjectName(QStringLiteral("ListView%1").arg(i + 1));
        list->SetImages({pictures::recordImage(0), pictures::recordImage(1), pictures::recordImage(2),
                         pictures::recordImage(3), pictures::recordImage(4)});
        for (const auto &[caption, width] : categories_[i].columns)
            list->AddColumn(caption, width);
        list->SetMultiSelect(categories_[i].multiSelect);
        list->SetDragEnabled(look_.treeDragDrop);
        grid->addWidget(list, 0, 0);
        lists_.push_back(list);
        bind(list);
    }
    if (look_.detailPanel) {
        Panel2 = new QFrame(ListArea);
        Panel2->setObjectName("Panel2");
        Panel2->setFrameShape(QFrame::StyledPanel);
        grid->addWidget(Panel2, 1, 0);
    }
}

void TManagerFrame::buildLayout()
{
    if (look_.secondTree) {
        auto *left = new QSplitter(Qt::Vertical, this);
        left->setObjectName("LeftSide");
        left->setChildrenCollapsible(false);
        TreeView2 = new TTreeView(left);
        TreeView2->setObjectName("TreeView2");
        left->addWidget(TreeView1);
        left->addWidget(TreeView2);
        Splitter1->addWidget(left);
    } else {
        Splitter1->addWidget(TreeView1);
    }
    Splitter1->addWidget(ListArea);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({121, 600});

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CoolBar1);
    column->addWidget(Splitter1, 1);
    column->addWidget(StatusBar1);
    StatusBar1->setVisible(look_.statusBarShown);
}

void TManagerFrame::buildMenus()
{
    PopupMenu1->setObjectName("PopupMenu1");
    test1 = PopupMenu1->addAction(look_.newCaption, this, [this] { SpeedButton12Click(); });
    test1->setObjectName("test1");
    testasdfasfdaf1 = PopupMenu1->addAction(QStringLiteral("编辑  "), this, [this] { SpeedButton10Click(); });
    testasdfasfdaf1->setObjectName("testasdfasfdaf1");
    PopupMenu1->addSeparator()->setObjectName("N1");
    ecd1 = PopupMenu1->addAction(QStringLiteral("删除"), this, [this] { SpeedButton11Click(); });
    ecd1->setObjectName("ecd1");
    PopupMenu2->setObjectName("PopupMenu2");
    N2Item = PopupMenu2->addAction(QStringLiteral("列表"), this, [this] { N2Click(); });
    N2Item->setObjectName("N2");
    N3Item = PopupMenu2->addAction(QStringLiteral("小图标"), this, [this] { N3Click(); });
    N3Item->setObjectName("N3");
    N4Item = PopupMenu2->addAction(QStringLiteral("大图标"), this, [this] { N4Click(); });
    N4Item->setObjectName("N4");
}

void TManagerFrame::buildToolBar()
{
    QToolButton *b1 = CoolBar1->SpeedButton(1);
    QToolButton *b2 = CoolBar1->SpeedButton(2);
    b1->setText(look_.operateCaption);
    b2->setText(look_.viewCaption);
    if (look_.captionedButtons) {
        for (auto [n, caption] : {std::pair{4, "R 刷新"}, {12, "新建"}, {10, "编辑"}, {11, "删除"}}) {
            CoolBar1->SpeedButton(n)->setText(QString::fromUtf8(caption));
            CoolBar1->SpeedButton(n)->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
    }
    if (!look_.smallIconButton)
        CoolBar1->RemoveButton(8);
    if (look_.findBox) {
        EditFind = new QLineEdit(CoolBar1);
        EditFind->setObjectName("EditFind");
        EditFind->setMaximumWidth(100);
        CoolBar1->ToolBar2->addWidget(EditFind);
        CoolBar1->AddButton(CoolBar1->ToolBar2, 14, QStringLiteral("查找"), QStyle::SP_CustomBase);
        connect(CoolBar1->SpeedButton(14), &QToolButton::clicked, this, [this] { SpeedButton14Click(); });
        connect(EditFind, &QLineEdit::returnPressed, this, [this] { SpeedButton14Click(); });
    }
    connect(b1, &QToolButton::clicked, this, [this, b1] { SpeedButton1Click(b1); });
    connect(b2, &QToolButton::clicked, this, [this, b2] { SpeedButton2Click(b2); });
    connect(CoolBar1->SpeedButton(3), &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(CoolBar1->SpeedButton(4), &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
    connect(CoolBar1->SpeedButton(5), &QToolButton::clicked, this,
            [this] { SetViewStyle(TListView::ViewStyle::Report); });
    connect(CoolBar1->SpeedButton(6), &QToolButton::clicked, this,
            [this] { SetViewStyle(TListView::ViewStyle::List); });
    connect(CoolBar1->SpeedButton(7), &QToolButton::clicked, this,
            [this] { SetViewStyle(TListView::ViewStyle::Icon); });
    if (QToolButton *b8 = CoolBar1->SpeedButton(8))
        connect(b8, &QToolButton::clicked, this, [this] { SetViewStyle(TListView::ViewStyle::SmallIcon); });
    connect(CoolBar1->SpeedButton(12), &QToolButton::clicked, this, [this] { SpeedButton12Click(); });
    connect(CoolBar1->SpeedButton(10), &QToolButton::clicked, this, [this] { SpeedButton10Click(); });
    connect(CoolBar1->SpeedButton(11), &QToolButton::clicked, this, [this] { SpeedButton11Click(); });
    // Tool bars keep every button visible rather than folding some away.
    for (QToolBar *bar : {CoolBar1->ToolBar1, CoolBar1->ToolBar3, CoolBar1->ToolBar2})
        bar->setMinimumWidth(bar->sizeHint().width());
}

TManagerFrame::~TManagerFrame() = default;

void TManagerFrame::bind(TListView *list)
{
    connect(list, &TListView::SelectItem, this,
            [this, list](int row, bool selected) { ListSelectItem(list, row, selected); });
    connect(list, &TListView::DblClick, this, [this, list] { ListDblClick(list); });
    connect(list, &TListView::KeyDown, this, [this, list](int key) { ListKeyDown(list, key); });
}

void TManagerFrame::FormCreate()
{
    Refresh();
    if (!lists_.empty())
        ShowList(lists_.front());
}

void TManagerFrame::ShowList(TListView *list)
{
    for (TListView *l : lists_)
        if (l != list)
            l->setVisible(false);
    list->setVisible(true);
    // Tab from the tree reaches the list shown, in whichever view style.
    setTabOrder(TreeView1, list->ReportView());
    setTabOrder(list->ReportView(), list->IconView());
    CurrentList = list;
}

TListView *TManagerFrame::ListView(int number) const
{
    return number >= 1 && number <= int(lists_.size()) ? lists_[number - 1] : nullptr;
}

const TManagerCategory *TManagerFrame::CategoryOf(const TListView *list) const
{
    for (size_t i = 0; i < lists_.size(); ++i)
        if (lists_[i] == list)
            return &categories_[i];
    return nullptr;
}

QTreeWidgetItem *TManagerFrame::SelectedNode() const
{
    const QList<QTreeWidgetItem *> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

bool TManagerFrame::RefuseDelete(const QString &, const QString &) { return false; }

void TManagerFrame::TreeView1Change(QTreeWidgetItem *node)
{
    for (size_t i = 0; i < categories_.size(); ++i)
        if (node->text(0) == categories_[i].node) {
            ShowList(lists_[i]);
            break;
        }
    CoolBar1->SpeedButton(10)->setEnabled(false);
    CoolBar1->SpeedButton(11)->setEnabled(false);
}

void TManagerFrame::ListSelectItem(TListView *, int, bool selected)
{
    CoolBar1->SpeedButton(10)->setEnabled(selected);
    CoolBar1->SpeedButton(11)->setEnabled(selected);
    testasdfasfdaf1->setEnabled(selected);
    ecd1->setEnabled(selected);
}

void TManagerFrame::ListDblClick(TListView *list)
{
    if (list->SelCount() > 0)
        SpeedButton10Click();
    else if (look_.dblClickEmptyNew)
        SpeedButton12Click();
}

void TManagerFrame::ListKeyDown(TListView *list, int key)
{
    if (key == Qt::Key_Delete && list->SelCount() > 0)
        SpeedButton11Click();
}

QPoint TManagerFrame::PopupPoint(const QWidget *sender) const
{
    // The sums of the positions as the windows report them, not a mapping.
    const QWidget *child = qobject_cast<QMdiSubWindow *>(parentWidget()) ? parentWidget() : this;
    const int mainLeft = MainFrm ? MainFrm->x() : 0;
    const int mainTop = MainFrm ? MainFrm->y() : 0;
    const QToolBar *bar = CoolBar1->ToolBar1;
    return {sender->x() + mainLeft + child->x() + bar->x() + 10,
            mainTop + child->y() + bar->y() + bar->height() + look_.popupOffset};
}

void TManagerFrame::SpeedButton1Click(QWidget *sender) { PopupMenu1->popup(PopupPoint(sender)); }

void TManagerFrame::SpeedButton2Click(QWidget *sender) { PopupMenu2->popup(PopupPoint(sender)); }

void TManagerFrame::SpeedButton3Click() { TreeView1->setVisible(!TreeView1->isVisible()); }

void TManagerFrame::SetViewStyle(TListView::ViewStyle style)
{
    if (CurrentList)
        CurrentList->SetStyle(style);
}

void TManagerFrame::N2Click() { SetViewStyle(TListView::ViewStyle::Report); }

void TManagerFrame::N3Click()
{
    SetViewStyle(look_.smallIconsAsList ? TListView::ViewStyle::List : TListView::ViewStyle::SmallIcon);
}

void TManagerFrame::N4Click() { SetViewStyle(TListView::ViewStyle::Icon); }

void TManagerFrame::SpeedButton12Click()
{
    const TManagerCategory *c = CategoryOf(CurrentList);
    if (!c || !c->newDialog)
        return;
    std::unique_ptr<QDialog> dialog(c->newDialog());
    if (dialog->exec() == QDialog::Accepted)
        Refresh();
}

void TManagerFrame::SpeedButton10Click()
{
    const TManagerCategory *c = CategoryOf(CurrentList);
    if (!c || !c->editDialog || CurrentList->Selected() < 0)
        return;
    Changed = false;
    std::unique_ptr<QDialog> dialog(c->editDialog());
    dialog->exec();
    if (Changed)
        Refresh();
}

void TManagerFrame::SpeedButton11Click()
{
    QTreeWidgetItem *node = SelectedNode();
    if (!CurrentList || CurrentList->Selected() < 0 || !node)
        return;
    const QString category = node->text(0);
    const QString key = CurrentList->Caption(CurrentList->Selected());
    if (RefuseDelete(category, key))
        return;
    const TManagerCategory *c = nullptr;
    for (const TManagerCategory &each : categories_)
        if (each.node == category)
            c = &each;
    if (!c || !c->deleteFrom)
        return;
    const std::string sql = c->deleteFrom.statement(key.toStdString());
    if (!boxes::confirm(this,
                        category + QStringLiteral("删除后不能恢复，您确定要删除") + category + " " + key +
                            QStringLiteral(" 吗？"),
                        QStringLiteral("删除") + category))
        return;
    if (RefuseConfirmedDelete(category, key))
        return;

    {
        // The row and its log row, or neither.
        TAdoQuery &q = desk::Db().Query1;
        ado::OperatorWait wait(desk::Db().Database1);
        ado::Transaction transaction(desk::Db().Database1);
        desk::exec(q, sql);
        desk::appendOperLog(q, QStringLiteral("删除") + category + " " + key);
        transaction.commit();
    }
    Deleted(category, key);
    RemoveKeyRow(key);
}

bool TManagerFrame::RefuseConfirmedDelete(const QString &, const QString &) { return false; }

void TManagerFrame::Deleted(const QString &, const QString &) {}

void TManagerFrame::RemoveKeyRow(const QString &key)
{
    int row = CurrentList->Selected();
    if (row < 0 || CurrentList->Caption(row) != key) {
        row = 0;
        while (row < CurrentList->Count() && CurrentList->Caption(row) != key)
            ++row;
    }
    CurrentList->RemoveItem(row);
}

void TManagerFrame::SpeedButton14Click()
{
    if (!EditFind || !CurrentList || EditFind->text().isEmpty())
        return;
    const QString text = EditFind->text();
    for (int row = 0; row < CurrentList->Count(); ++row)
        if (CurrentList->Caption(row).contains(text, Qt::CaseSensitive)) {
            CurrentList->SetSelected(row, true);
            CurrentList->MakeVisible(row);
            return;
        }
}

bool TManagerFrame::TreeView1DragOver(QObject *, const TTreeView::THit &) { return false; }

void TManagerFrame::TreeView1DragDrop(QObject *, const TTreeView::THit &) {}

bool TManagerFrame::TreeView1Collapsing(QTreeWidgetItem *) { return true; }

void TManagerFrame::PlaceList(TListView *list)
{
    list->setParent(ListArea);
    list->setVisible(false);
    static_cast<QGridLayout *>(ListArea->layout())->addWidget(list, 0, 0);
}

TListView *TManagerFrame::ListOf(QObject *source) const
{
    for (QObject *o = source; o && o != this; o = o->parent())
        if (auto *list = qobject_cast<TListView *>(o))
            return list;
    return nullptr;
}

// --- the tree file ---------------------------------------------------------

bool TManagerFrame::LoadTree(const QString &name, const QString &writeName)
{
    treeFile_ = writeName.isEmpty() ? name : writeName;
    QString error;
    const treefile::Loaded loaded = treefile::load(TreeView1, name, error);
    treeWrite_ = loaded == treefile::Loaded::Read || loaded == treefile::Loaded::Missing;
    if (loaded != treefile::Loaded::Read) {
        if (!treeWrite_)
            error += QStringLiteral("\n%1 没有完整读入，关闭窗口时不会改写该文件。").arg(name);
        boxes::showError(error);
    }
    return loaded == treefile::Loaded::Read;
}

void TManagerFrame::SaveTree() const
{
    if (!treeFile_.isEmpty() && treeWrite_)
        treefile::save(TreeView1, treeFile_);
}

void TManagerFrame::closeEvent(QCloseEvent *event)
{
    try {
        SaveTree();
    } catch (const std::exception &e) {
        boxes::showError(e);
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool TManagerFrame::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange) {
        // Inside the main window an MDI child window holds the frame; its
        // activation is the window's.
        if (activation_)
            disconnect(activation_, nullptr, this, nullptr);
        activation_ = qobject_cast<QMdiSubWindow *>(parentWidget());
        if (auto *sub = qobject_cast<QMdiSubWindow *>(activation_))
            connect(sub, &QMdiSubWindow::windowStateChanged, this,
                    [this](Qt::WindowStates before, Qt::WindowStates now) {
                        if (now.testFlag(Qt::WindowActive) && !before.testFlag(Qt::WindowActive))
                            FormActivate();
                    });
    }
    return QWidget::event(event);
}

void desk::fillList(TListView *list, const std::string &sql, const std::vector<const char *> &columns, int image)
{
    list->Clear();
    const TListUpdate update(list);
    TAdoQuery &q = desk::open(desk::Db().Query1, sql);
    for (; !q.Eof(); q.Next()) {
        QStringList values;
        for (const char *c : columns)
            values << QString::fromStdString(q.FieldByName(c)->AsString());
        const QString caption = values.takeFirst();
        list->AddItem(caption, values, image);
    }
    q.Close();
}
