#pragma once

#include <QIcon>
#include <QStringList>
#include <QWidget>
#include <vector>

class QListView;
class QMenu;
class QStackedLayout;
class QTableView;
class TListModel;

// A list of rows in four view styles: a report with columns and grid lines,
// a list, large icons and small icons. A row has a caption (column 0),
// sub-items and an image index. Both views share one model and one
// selection, so switching the style keeps the selection. Rows are addressed
// by index from 0.
class TListView : public QWidget {
    Q_OBJECT
public:
    enum class ViewStyle { Report, List, Icon, SmallIcon };

    explicit TListView(QWidget *parent = nullptr);

    void AddColumn(const QString &caption, int width);
    // Pictures for the image indices of rows (large and small sizes are taken
    // from each icon).
    void SetImages(std::vector<QIcon> images);
    void SetMultiSelect(bool multi);
    // Rows can be dragged out of the list (never moved away by a drop).
    void SetDragEnabled(bool enabled);
    // Shown at the mouse on a right click; none when null.
    void SetPopupMenu(QMenu *menu) { popup_ = menu; }
    QMenu *PopupMenu() const { return popup_; }

    // Appends a row; sub-items beyond the columns are kept but not shown.
    int AddItem(const QString &caption, const QStringList &subItems = {}, int image = -1);
    // Rows added between the two are shown at EndUpdate, all at once (a
    // list of many rows fills fast); Count and Caption see them at once.
    void BeginUpdate();
    void EndUpdate();
    void Clear();
    void RemoveItem(int row);
    int Count() const;
    QString Caption(int row) const;
    void SetCaption(int row, const QString &caption);
    // Sub-item i (0 is the first after the caption); "" when missing.
    QString SubItem(int row, int i) const;

    // The first selected row in row order; -1 when none is selected.
    int Selected() const;
    int SelCount() const;
    bool IsSelected(int row) const;
    // Selects a row (adds it to the selection of a multi-select list) or
    // clears it; the SelectItem signal reports the change.
    void SetSelected(int row, bool selected);
    void ClearSelection();
    void MakeVisible(int row);

    ViewStyle Style() const { return style_; }
    void SetStyle(ViewStyle style);

    QTableView *ReportView() const { return report_; }
    QListView *IconView() const { return icons_; }

signals:
    // A row became selected (true) or lost its selection (false); losses are
    // reported before gains.
    void SelectItem(int row, bool selected);
    // A double click anywhere on the list, rows or empty space.
    void DblClick();
    // A key pressed in the list, before the list handles it (Qt key code).
    void KeyDown(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Column {
        QString caption;
        int width;
    };
    void updateColumns();

    std::vector<Column> columns_;
    TListModel *model_;
    QTableView *report_;
    QListView *icons_;
    QStackedLayout *stack_;
    ViewStyle style_ = ViewStyle::Report;
    QMenu *popup_ = nullptr;
};

// BeginUpdate for a scope: EndUpdate when it ends, also by an exception.
class TListUpdate {
public:
    explicit TListUpdate(TListView *list) : list_(list) { list_->BeginUpdate(); }
    ~TListUpdate() { list_->EndUpdate(); }
    TListUpdate(const TListUpdate &) = delete;
    TListUpdate &operator=(const TListUpdate &) = delete;

private:
    TListView *list_;
};
