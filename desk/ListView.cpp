#include "desk/ListView.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTableView>
#include <set>

TListView::TListView(QWidget *parent)
    : QWidget(parent), model_(new QStandardItemModel(this)), report_(new QTableView(this)), icons_(new QListView(this)),
      stack_(new QStackedLayout(this))
{
    stack_->setContentsMargins(0, 0, 0, 0);
    report_->setModel(model_);
    report_->setObjectName("report");
    report_->setShowGrid(true);
    report_->verticalHeader()->hide();
    report_->horizontalHeader()->setHighlightSections(false);
    report_->horizontalHeader()->setStretchLastSection(false);
    report_->verticalHeader()->setDefaultSectionSize(report_->fontMetrics().height() + 6);
    report_->setSelectionBehavior(QAbstractItemView::SelectRows);
    report_->setWordWrap(false);
    report_->setIconSize(QSize(16, 16));
    icons_->setModel(model_);
    icons_->setObjectName("icons");
    icons_->setSelectionModel(report_->selectionModel());
    icons_->setResizeMode(QListView::Adjust);
    icons_->setWrapping(true);
    for (QAbstractItemView *v : {static_cast<QAbstractItemView *>(report_), static_cast<QAbstractItemView *>(icons_)}) {
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
    }
    stack_->addWidget(report_);
    stack_->addWidget(icons_);
    setFocusProxy(report_);

    connect(report_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                std::set<int> lost, gained;
                for (const QModelIndex &i : deselected.indexes())
                    lost.insert(i.row());
                for (const QModelIndex &i : selected.indexes())
                    gained.insert(i.row());
                for (int row : lost)
                    if (!gained.count(row))
                        emit SelectItem(row, false);
                for (int row : gained)
                    if (!lost.count(row))
                        emit SelectItem(row, true);
            });
}

void TListView::AddColumn(const QString &caption, int width)
{
    columns_.push_back({caption, width});
    updateColumns();
}

void TListView::updateColumns()
{
    if (model_->columnCount() < int(columns_.size()))
        model_->setColumnCount(int(columns_.size()));
    for (int c = 0; c < model_->columnCount(); ++c) {
        const bool shown = c < int(columns_.size());
        if (shown) {
            model_->setHeaderData(c, Qt::Horizontal, columns_[c].caption);
            report_->setColumnWidth(c, columns_[c].width);
        }
        report_->setColumnHidden(c, !shown);
    }
}

void TListView::SetMultiSelect(bool multi)
{
    const auto mode = multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    report_->setSelectionMode(mode);
    icons_->setSelectionMode(mode);
}

int TListView::AddItem(const QString &caption, const QStringList &subItems, int image)
{
    QList<QStandardItem *> cells;
    auto *first = new QStandardItem(caption);
    if (image >= 0 && image < int(images_.size()))
        first->setIcon(images_[image]);
    cells << first;
    for (const QString &s : subItems)
        cells << new QStandardItem(s);
    const int before = model_->columnCount();
    model_->appendRow(cells);
    if (model_->columnCount() != before)
        updateColumns();
    return model_->rowCount() - 1;
}

void TListView::Clear() { model_->removeRows(0, model_->rowCount()); }

void TListView::RemoveItem(int row)
{
    if (row >= 0 && row < model_->rowCount())
        model_->removeRow(row);
}

int TListView::Count() const { return model_->rowCount(); }

QString TListView::Caption(int row) const
{
    const QStandardItem *i = model_->item(row, 0);
    return i ? i->text() : QString();
}

void TListView::SetCaption(int row, const QString &caption)
{
    if (QStandardItem *i = model_->item(row, 0))
        i->setText(caption);
}

QString TListView::SubItem(int row, int i) const
{
    const QStandardItem *item = model_->item(row, i + 1);
    return item ? item->text() : QString();
}

int TListView::Selected() const
{
    int first = -1;
    for (const QModelIndex &i : report_->selectionModel()->selectedRows())
        if (first < 0 || i.row() < first)
            first = i.row();
    return first;
}

int TListView::SelCount() const { return int(report_->selectionModel()->selectedRows().size()); }

bool TListView::IsSelected(int row) const { return report_->selectionModel()->isRowSelected(row, QModelIndex()); }

void TListView::SetSelected(int row, bool selected)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
    if (!selected)
        flags |= QItemSelectionModel::Deselect;
    else if (report_->selectionMode() == QAbstractItemView::SingleSelection)
        flags |= QItemSelectionModel::ClearAndSelect;
    else
        flags |= QItemSelectionModel::Select;
    report_->selectionModel()->setCurrentIndex(model_->index(row, 0), flags);
}

void TListView::ClearSelection() { report_->selectionModel()->clearSelection(); }

void TListView::MakeVisible(int row)
{
    const QModelIndex i = model_->index(row, 0);
    report_->scrollTo(i);
    icons_->scrollTo(i);
}

void TListView::SetStyle(ViewStyle style)
{
    style_ = style;
    switch (style) {
    case ViewStyle::Report: stack_->setCurrentWidget(report_); return;
    case ViewStyle::List: // small icons in columns, top to bottom
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::TopToBottom);
        icons_->setIconSize(QSize(16, 16));
        break;
    case ViewStyle::Icon:
        icons_->setViewMode(QListView::IconMode);
        icons_->setIconSize(QSize(32, 32));
        icons_->setMovement(QListView::Static);
        break;
    case ViewStyle::SmallIcon: // small icons in rows, left to right
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setIconSize(QSize(16, 16));
        break;
    }
    icons_->setWrapping(true);
    stack_->setCurrentWidget(icons_);
}

QWidget *TListView::ActiveView() const { return stack_->currentWidget(); }

bool TListView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == report_ || watched == icons_)) {
        emit KeyDown(static_cast<QKeyEvent *>(event)->key());
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == report_->viewport() || watched == icons_->viewport())) {
        // The first click of the pair has already selected the row under the mouse.
        emit DblClick();
    }
    return QWidget::eventFilter(watched, event);
}
