#pragma once

#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "desk/TreeView.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QDialog;
class QFrame;
class QLineEdit;
class QMenu;
class QSplitter;
class QTreeWidgetItem;
class TCoolBar;
class TStatusBar;

// One category of a management window: a node of the category tree, the
// list it shows (ListView1 for the first category, ListView2 for the next,
// ...) and the category's commands.
struct TManagerCategory {
    QString node;                                 // the tree node's text
    std::vector<std::pair<QString, int>> columns; // list columns: caption, width
    bool multiSelect = false;
    // Create the category's New and Edit dialogs (no owner); the frame shows
    // them modally and frees them afterwards. Empty: the command does nothing.
    std::function<QDialog *()> newDialog;
    std::function<QDialog *()> editDialog;
    // Where Delete removes the selected key; empty: Delete does nothing in
    // this category.
    desk::TDeleteFrom deleteFrom;
};

namespace desk {
// Empties list and fills it from sql through Query1, one item per row in the
// order returned: the caption from the first of columns, sub-items from the
// others (NULL as ""), the picture image. Throws EDatabaseError.
void fillList(TListView *list, const std::string &sql, const std::vector<const char *> &columns, int image);
} // namespace desk

// What else differs between the windows built on the frame.
struct TManagerLook {
    QString caption;
    int popupOffset = 75;                                // D of the popup position
    QString operateCaption = QStringLiteral("操作(&A)"); // SpeedButton1
    QString viewCaption = QStringLiteral("查看(&V)");    // SpeedButton2
    QString newCaption = QStringLiteral("增加");         // PopupMenu1's first item
    bool smallIconsAsList = false;                       // "小图标" sets the list style instead
    bool dblClickEmptyNew = false;                       // a double click without a selection opens New
    bool captionedButtons = false; // "R 刷新", "新建", "编辑", "删除" written on the buttons
    bool smallIconButton = true;   // SpeedButton8
    bool statusBarShown = true;
    bool findBox = false;      // EditFind and SpeedButton14 "查找" at the end of the tool strip
    bool detailPanel = false;  // Panel2 along the bottom of the list area
    bool secondTree = false;   // TreeView2 below TreeView1
    bool treeDragDrop = false; // tree nodes and list rows can be dragged onto tree nodes
};

// The frame shared by the management windows: the category tree TreeView1
// on the left, one list per category filling the rest, the tool strip
// CoolBar1, the menus PopupMenu1 ("增加", "编辑  ", "-", "删除") and
// PopupMenu2 ("列表", "小图标", "大图标") and StatusBar1 (300, 100, 50).
// A window is a subclass that gives its look and categories, implements
// Refresh and calls FormCreate at the end of its constructor. Main thread.
class TManagerFrame : public QWidget {
    Q_OBJECT
public:
    ~TManagerFrame() override;

    // Empties every list and reloads all of them from the database.
    virtual void Refresh() = 0;

    // The list now shown; every list command acts on it.
    TListView *CurrentList = nullptr;
    // Cleared before an Edit dialog is shown; the dialog sets it when it saves.
    bool Changed = false;

    TListView *ListView(int number) const; // 1 for ListView1, ...
    // The category whose list is list; null when none.
    const TManagerCategory *CategoryOf(const TListView *list) const;
    // The selected tree node; null when none.
    QTreeWidgetItem *SelectedNode() const;

    // Handlers, bound to their controls by the frame.
    virtual void TreeView1Change(QTreeWidgetItem *node);
    // Asked while something is dragged over TreeView1 (treeDragDrop): source
    // is TreeView1 for its own (selected) node, a list's view for its rows
    // (ListOf names the list). Refuses by default.
    virtual bool TreeView1DragOver(QObject *source, const TTreeView::THit &hit);
    // An accepted drop on TreeView1. Does nothing by default.
    virtual void TreeView1DragDrop(QObject *source, const TTreeView::THit &hit);
    // True lets the node collapse (the default).
    virtual bool TreeView1Collapsing(QTreeWidgetItem *node);
    virtual void ListSelectItem(TListView *list, int row, bool selected);
    virtual void ListDblClick(TListView *list);
    virtual void ListKeyDown(TListView *list, int key);
    void SpeedButton1Click(QWidget *sender);
    void SpeedButton2Click(QWidget *sender);
    void SpeedButton3Click();
    void SpeedButton4Click() { Refresh(); }
    void SetViewStyle(TListView::ViewStyle style); // of CurrentList
    void N2Click();
    void N3Click();
    void N4Click();
    virtual void SpeedButton12Click(); // New
    virtual void SpeedButton10Click(); // Edit
    virtual void SpeedButton11Click(); // Delete
    // Find (findBox): with EditFind not empty, the first row of CurrentList
    // whose caption contains its text (letter case counts) is selected
    // (added to the selection of a multi-select list) and scrolled into
    // view. Only captions are searched; no match does nothing.
    void SpeedButton14Click();
    // Where the popups open for a button pressed on ToolBar1 (screen point).
    QPoint PopupPoint(const QWidget *sender) const;

    TTreeView *TreeView1;
    TTreeView *TreeView2 = nullptr; // secondTree: below TreeView1, filling the left side when it is hidden
    QSplitter *Splitter1;
    QWidget *ListArea;        // holds the lists, one shown at a time
    QFrame *Panel2 = nullptr; // detailPanel: under the lists; its content is the window's
    QLineEdit *EditFind = nullptr;
    TCoolBar *CoolBar1;
    TStatusBar *StatusBar1;
    QMenu *PopupMenu1;
    QAction *test1;           // "增加" (New)
    QAction *testasdfasfdaf1; // "编辑  " (Edit)
    QAction *ecd1;            // "删除" (Delete)
    QMenu *PopupMenu2;
    QAction *N2Item; // "列表"
    QAction *N3Item; // "小图标"
    QAction *N4Item; // "大图标"

protected:
    TManagerFrame(TManagerLook look, std::vector<TManagerCategory> categories, QWidget *parent = nullptr);
    // Loads the lists (Refresh) and shows the first category's list.
    void FormCreate();
    // Every activation of the window among the main window's children.
    virtual void FormActivate() {}
    // A window's own refusal of Delete, asked before the confirmation; true
    // when refused (the window has told the operator).
    virtual bool RefuseDelete(const QString &category, const QString &key);
    // Asked after the operator confirmed Delete, before the statement; true
    // when refused (the window has told the operator).
    virtual bool RefuseConfirmedDelete(const QString &category, const QString &key);
    // After Delete's statement has succeeded, before the operlog row.
    virtual void Deleted(const QString &category, const QString &key);
    void ShowList(TListView *list);
    // Removes the row carrying key from CurrentList: the first selected row
    // when it still does (timers may have reloaded the list meanwhile),
    // else the first row that does.
    void RemoveKeyRow(const QString &key);
    // Places a window's own list (not a category's) in the list area,
    // hidden; it covers the category lists when shown.
    void PlaceList(TListView *list);
    // The list whose view source is; null for any other object.
    TListView *ListOf(QObject *source) const;

    // The tree read from a file: replaces TreeView1's nodes with the file
    // named name (letter case ignored) in the current directory; closing
    // the window writes the tree back to it (a file that did not exist is
    // made under writeName, or name). A file that is missing,
    // unreadable or stops at a line two levels too deep is reported in the
    // error box; after the last two the file is not written at closing, so
    // that what it holds is not lost (the box says so). True when every
    // line was read.
    bool LoadTree(const QString &name, const QString &writeName = {});
    // Writes the tree file now; throws std::runtime_error.
    void SaveTree() const;
    // Writes the tree file (when there is one to write); a failure is
    // shown in the error box and the window stays open.
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The constructor's parts, called in this order: the tree's nodes and
    // handlers, one list per category (and Panel2), the splitter and the
    // column (TreeView2 made here), the popup menus, the tool strip.
    void buildTree();
    void buildLists();
    void buildLayout();
    void buildMenus();
    void buildToolBar();
    void bind(TListView *list);

    TManagerLook look_;
    std::vector<TManagerCategory> categories_;
    std::vector<TListView *> lists_;
    QString treeFile_;      // the name written; "" while the tree is not from a file
    bool treeWrite_ = true; // false after an incomplete read
    QObject *activation_ = nullptr;
};
