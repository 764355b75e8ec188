#include "desk/ManagerFrame.h"

#include "data/DM1.h"
#include "desk/CoolBar.h"
#include "desk/DeskDb.h"
#include "desk/Pictures.h"
#include "desk/StatusBar.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDialog>
#include <QGridLayout>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

TManagerFrame::TManagerFrame(TManagerLook look, std::vector<TManagerCategory> categories, QWidget *parent)
    : QWidget(parent), TreeView1(new QTreeWidget(this)), Splitter1(new QSplitter(this)), ListArea(new QWidget(this)),
      CoolBar1(new TCoolBar(this)), StatusBar1(new TStatusBar({300, 100, 50}, this)), PopupMenu1(new QMenu(this)),
      PopupMenu2(new QMenu(this)), look_(std::move(look)), categories_(std::move(categories))
{
    setWindowTitle(look_.caption);
    StatusBar1->setObjectName("StatusBar1");
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    TreeView1->setObjectName("TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMinimumWidth(40);
    QPalette keep = TreeView1->palette(); // the selection stays visible without the focus
    keep.setColor(QPalette::Inactive, QPalette::Highlight, keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    TreeView1->setPalette(keep);
    for (const TManagerCategory &c : categories_) {
        auto *node = new QTreeWidgetItem(TreeView1, QStringList{c.node});
        node->setIcon(0, pictures::recordImage(3));
    }

    auto *grid = new QGridLayout(ListArea);
    grid->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < categories_.size(); ++i) {
        auto *list = new TListView(ListArea);
        list->setObjectName(QStringLiteral("ListView%1").arg(i + 1));
        list->SetImages({pictures::recordImage(0), pictures::recordImage(1), pictures::recordImage(2),
                         pictures::recordImage(3), pictures::recordImage(4)});
        for (const auto &[caption, width] : categories_[i].columns)
            list->AddColumn(caption, width);
        list->SetMultiSelect(categories_[i].multiSelect);
        grid->addWidget(list, 0, 0);
        lists_.push_back(list);
        bind(list);
    }
    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(ListArea);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({121, 600});

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CoolBar1);
    column->addWidget(Splitter1, 1);
    column->addWidget(StatusBar1);

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

    QToolButton *b1 = CoolBar1->SpeedButton(1);
    QToolButton *b2 = CoolBar1->SpeedButton(2);
    b1->setText(look_.operateCaption);
    b2->setText(look_.viewCaption);
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
    connect(CoolBar1->SpeedButton(8), &QToolButton::clicked, this,
            [this] { SetViewStyle(TListView::ViewStyle::SmallIcon); });
    connect(CoolBar1->SpeedButton(12), &QToolButton::clicked, this, [this] { SpeedButton12Click(); });
    connect(CoolBar1->SpeedButton(10), &QToolButton::clicked, this, [this] { SpeedButton10Click(); });
    connect(CoolBar1->SpeedButton(11), &QToolButton::clicked, this, [this] { SpeedButton11Click(); });
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (QTreeWidgetItem *node = SelectedNode())
            TreeView1Change(node);
    });
    setTabOrder(TreeView1, lists_.empty() ? static_cast<QWidget *>(TreeView1) : lists_.front());
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
    const std::string sql = c->deleteFrom.statement(key);
    if (!boxes::confirm(this,
                        category + QStringLiteral("删除后不能恢复，您确定要删除") + category + " " + key +
                            QStringLiteral(" 吗？"),
                        QStringLiteral("删除") + category))
        return;

    TAdoQuery &q = desk::Db().Query1;
    desk::exec(q, sql);
    desk::appendOperLog(q, QStringLiteral("删除") + category + " " + key);
    // Timers run during the question and may have reloaded the list: remove
    // the row that still carries the key.
    int row = CurrentList->Selected();
    if (row < 0 || CurrentList->Caption(row) != key) {
        row = 0;
        while (row < CurrentList->Count() && CurrentList->Caption(row) != key)
            ++row;
    }
    CurrentList->RemoveItem(row);
}

void desk::fillList(TListView *list, const std::string &sql, const std::vector<const char *> &columns, int image)
{
    list->Clear();
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
