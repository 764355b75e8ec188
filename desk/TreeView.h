#pragma once

#include <QIcon>
#include <QTreeWidget>
#include <functional>

class QMenu;

// A tree of text nodes as the management windows use it: one column, no
// header, labels not editable, the selection shown also without the focus.
// It adds what the windows need of a tree beyond QTreeWidget: a hit test
// naming the part of a node's row under a point, drops (of its own nodes
// and of rows dragged from elsewhere) decided by hooks, a veto on
// collapsing, and a popup menu. Main thread.
class TTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // Where on a node's row a point lies: left of the node's own button
    // (the levels above it), on the expand button of a node with children,
    // on the icon, on the label, right of the label.
    enum class THitPart { Nowhere, Indent, Button, Icon, Label, Right };
    struct THit {
        QTreeWidgetItem *node = nullptr; // the node whose row holds the point
        THitPart part = THitPart::Nowhere;
    };

    explicit TTreeView(QWidget *parent = nullptr);

    // at in viewport coordinates.
    THit HitTest(QPoint at) const;
    // 0 for a top-level node.
    static int Level(const QTreeWidgetItem *node);
    // Appends a node with the tree's node picture under parent (top level
    // when null).
    QTreeWidgetItem *AddNode(QTreeWidgetItem *parent, const QString &text);
    // Moves node with its subtree: as the last child of target, or just
    // before it as its sibling. The node keeps its selection and the shape
    // of its subtree; no change of selection is reported. False, with
    // nothing moved, when target lies in node's own subtree.
    bool MoveNode(QTreeWidgetItem *node, QTreeWidgetItem *target, bool asChild);
    // node is root or lies in root's subtree.
    static bool InSubtree(const QTreeWidgetItem *node, const QTreeWidgetItem *root);

    // Drops: asked while a drag moves over the tree (source: the widget the
    // drag came from, this tree for its own nodes; at in viewport
    // coordinates); an accepted drop is handed to DragDrop. Without
    // DragOver nothing can be dropped. A drop never removes anything from
    // its source.
    std::function<bool(QObject *source, QPoint at)> DragOver;
    std::function<void(QObject *source, QPoint at)> DragDrop;
    // Asked before a node collapses; false keeps it expanded. Unset: every
    // node collapses.
    std::function<bool(QTreeWidgetItem *node)> Collapsing;
    // Shown at the mouse on a right click; none when null.
    QMenu *PopupMenu = nullptr;
    QIcon NodeIcon;

signals:
    // A click of the left button on the tree, on a node or beside one; the
    // press has already made its change of selection.
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool dropMimeData(QTreeWidgetItem *parent, int index, const QMimeData *data, Qt::DropAction action) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
};
