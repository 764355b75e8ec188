#include "desk/TreeView.h"

#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <vector>

TTreeView::TTreeView(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette keep = palette(); // the selection stays visible without the focus
    keep.setColor(QPalette::Inactive, QPalette::Highlight, keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(keep);
    setDropIndicatorShown(false);
    setDefaultDropAction(Qt::CopyAction);
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (Collapsing && !Collapsing(itemFromIndex(index)))
            expand(index);
    });
}

int TTreeView::Level(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

QTreeWidgetItem *TTreeView::AddNode(QTreeWidgetItem *parent, const QString &text)
{
    auto *node = parent ? new QTreeWidgetItem(parent, QStringList{text}) : new QTreeWidgetItem(this, QStringList{text});
    node->setIcon(0, NodeIcon);
    return node;
}

TTreeView::THit TTreeView::HitTest(QPoint at) const
{
    THit hit;
    hit.node = itemAt(at);
    if (!hit.node)
        return hit;
    const QRect cell = visualItemRect(hit.node); // from the icon to the column's right edge
    const int x = at.x() - cell.left();
    if (x < 0) {
        // The node's own button sits in the middle of the last indentation
        // step; the rest of the row left of the icon is indentation.
        const int step = indentation();
        const int fromCell = -x;
        const bool onButton = rootIsDecorated() || hit.node->parent();
        hit.part = onButton && hit.node->childCount() > 0 && fromCell > step / 4 && fromCell <= step - step / 4
                       ? THitPart::Button
                       : THitPart::Indent;
        return hit;
    }
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int icon = hit.node->icon(0).isNull()
                         ? 0
                         : (iconSize().isValid() ? iconSize().width()
                                                 : style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this)) +
                               2 * margin;
    const int label = fontMetrics().horizontalAdvance(hit.node->text(0)) + 2 * margin;
    hit.part = x < icon ? THitPart::Icon : x < icon + label ? THitPart::Label : THitPart::Right;
    return hit;
}

bool TTreeView::InSubtree(const QTreeWidgetItem *node, const QTreeWidgetItem *root)
{
    for (const QTreeWidgetItem *p = node; p; p = p->parent())
        if (p == root)
            return true;
    return false;
}

bool TTreeView::MoveNode(QTreeWidgetItem *node, QTreeWidgetItem *target, bool asChild)
{
    if (InSubtree(target, node))
        return false;
    const QSignalBlocker quiet(this);
    const bool selected = node->isSelected();
    std::vector<std::pair<QTreeWidgetItem *, bool>> expanded;
    std::function<void(QTreeWidgetItem *)> note = [&](QTreeWidgetItem *n) {
        expanded.emplace_back(n, n->isExpanded());
        for (int i = 0; i < n->childCount(); ++i)
            note(n->child(i));
    };
    note(node);

    if (QTreeWidgetItem *p = node->parent())
        p->removeChild(node);
    else
        takeTopLevelItem(indexOfTopLevelItem(node));
    if (asChild) {
        target->addChild(node);
    } else if (QTreeWidgetItem *p = target->parent()) {
        p->insertChild(p->indexOfChild(target), node);
    } else {
        insertTopLevelItem(indexOfTopLevelItem(target), node);
    }
    for (const auto &[n, open] : expanded)
        n->setExpanded(open);
    if (selected)
        setCurrentItem(node);
    return true;
}

void TTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    QTreeWidget::dragEnterEvent(event);
    // Taken for now; each move decides.
    if (DragOver) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void TTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidget::dragMoveEvent(event); // scrolls near the edges
    if (DragOver && DragOver(event->source(), event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TTreeView::dropEvent(QDropEvent *event)
{
    const QPoint at = event->position().toPoint();
    // A copy, so that no source view removes what was dragged; the base
    // ends the drag's scrolling and drops nothing (dropMimeData).
    event->setDropAction(Qt::CopyAction);
    QTreeWidget::dropEvent(event);
    if (!DragOver || !DragOver(event->source(), at)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (DragDrop)
        DragDrop(event->source(), at);
}

bool TTreeView::dropMimeData(QTreeWidgetItem *, int, const QMimeData *, Qt::DropAction) { return false; }

void TTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    if (PopupMenu)
        PopupMenu->popup(event->globalPos());
    else
        QTreeWidget::contextMenuEvent(event);
}

void TTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && viewport()->rect().contains(event->position().toPoint()))
        emit Click();
}
