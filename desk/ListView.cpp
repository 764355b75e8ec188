#include "desk/ListView.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QStackedLayout>
#include <QTableView>
#include <set>

// The rows of a list: the cells of each row (caption first) and its image.
// Rows added while the list is being updated are kept but announced to the
// views only at its end, all at once.
class TListModel : public QAbstractTableModel {
public:
    struct Row {
        QStringList cells;
        int image;
    };

    explicit TListModel(QObject *parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : shown; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : columns; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= shown)
            return {};
        const Row &r = rows[size_t(index.row())];
        if (role == Qt::DisplayRole)
            return r.cells.value(index.column());
        if (role == Qt::DecorationRole && index.column() == 0 && r.image >= 0 && r.image < int(images.size()))
            return images[size_t(r.image)];
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < headers.size())
            return headers[section];
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid()
                   ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren
                   : Qt::NoItemFlags;
    }

    void showAdded()
    {
        if (shown == int(rows.size()))
            return;
        beginInsertRows({}, shown, int(rows.size()) - 1);
        shown = int(rows.size());
        endInsertRows();
    }
    void widen(int count)
    {
        if (count <= columns)
            return;
        beginInsertColumns({}, columns, count - 1);
        columns = count;
        endInsertColumns();
    }
    void removeRow(int row)
    {
        if (row < shown) {
            beginRemoveRows({}, row, row);
            rows.erase(rows.begin() + row);
            --shown;
            endRemoveRows();
        } else {
            rows.erase(rows.begin() + row);
        }
    }
    void clear()
    {
        // Rows removed rather than a reset, which would drop the column widths.
        if (shown > 0) {
            beginRemoveRows({}, 0, shown - 1);
            rows.clear();
            shown = 0;
            endRemoveRows();
        }
        rows.clear();
    }
    void setCaption(int row, const QString &caption)
    {
        rows[size_t(row)].cells[0] = caption;
        if (row < shown)
            emit dataChanged(index(row, 0), index(row, 0));
    }

    std::vector<Row> rows;
    int shown = 0; // the rows the views know of
    int columns = 0;
    QStringList headers;
    std::vector<QIcon> images;
    int updating = 0;
};

TListView::TListView(QWidget *parent)
    : QWidget(parent), model_(new TListModel(this)), report_(new QTableView(this)), icons_(new QListView(this)),
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
    report_->setTabKeyNavigation(false); // Tab leaves the list, as in every list of the desk
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
    model_->headers.clear();
    for (const Column &c : columns_)
        model_->headers << c.caption;
    model_->widen(int(columns_.size()));
    for (int c = 0; c < model_->columnCount(); ++c) {
        const bool shown = c < int(columns_.size());
        if (shown)
            report_->setColumnWidth(c, columns_[c].width);
        report_->setColumnHidden(c, !shown);
    }
}

void TListView::SetImages(std::vector<QIcon> images) { model_->images = std::move(images); }

void TListView::SetMultiSelect(bool multi)
{
    const auto mode = multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    report_->setSelectionMode(mode);
    icons_->setSelectionMode(mode);
}

void TListView::SetDragEnabled(bool enabled)
{
    for (QAbstractItemView *v : {static_cast<QAbstractItemView *>(report_), static_cast<QAbstractItemView *>(icons_)}) {
        v->setDragEnabled(enabled);
        v->setDragDropMode(enabled ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
        v->setDefaultDropAction(Qt::CopyAction);
    }
}

int TListView::AddItem(const QString &caption, const QStringList &subItems, int image)
{
    QStringList cells;
    cells.reserve(subItems.size() + 1);
    cells << caption << subItems;
    const int width = int(cells.size());
    model_->rows.push_back({std::move(cells), image});
    if (width > model_->columnCount()) {
        model_->widen(width);
        updateColumns();
    }
    if (!model_->updating)
        model_->showAdded();
    return Count() - 1;
}

void TListView::BeginUpdate() { ++model_->updating; }

void TListView::EndUpdate()
{
    if (model_->updating > 0 && --model_->updating == 0)
        model_->showAdded();
}

void TListView::Clear() { model_->clear(); }

void TListView::RemoveItem(int row)
{
    if (row >= 0 && row < Count())
        model_->removeRow(row);
}

int TListView::Count() const { return int(model_->rows.size()); }

QString TListView::Caption(int row) const
{
    return row >= 0 && row < Count() ? model_->rows[size_t(row)].cells.value(0) : QString();
}

void TListView::SetCaption(int row, const QString &caption)
{
    if (row >= 0 && row < Count())
        model_->setCaption(row, caption);
}

QString TListView::SubItem(int row, int i) const
{
    return row >= 0 && row < Count() ? model_->rows[size_t(row)].cells.value(i + 1) : QString();
}

int TListView::Selected() const
{
    // By ranges: a selection of every row of a long list is one range.
    int first = -1;
    for (const QItemSelectionRange &r : report_->selectionModel()->selection())
        if (first < 0 || r.top() < first)
            first = r.top();
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

void TListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (popup_)
        popup_->popup(event->globalPos());
    else
        QWidget::contextMenuEvent(event);
}
