#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QWidget;
class TAdoQuery;
class TListView;
class TManagerFrame;

// The two halves of the record-dialog pattern of the management windows. A
// dialog of a window subclasses one of them, builds its own fields (placing
// the key edit Edit1 and the two buttons made here in its layout), gives
// its columns, statements and texts, and overrides only what it does
// differently. Dialogs are modal, fixed in size, centred on the screen and
// work through the data module's Query1.
// On a screen too small for it a dialog takes the room the screen has,
// frame included, and can be shrunk further (placement::fit); one with much
// to show puts them in a scrollingPanel, so that its buttons stay in sight
// on any screen.

// New: creates records one after another and stays open. "创建" (Button1)
// is enabled exactly while Edit1 holds a character; "关闭" (Button2) closes
// with Accepted when at least one record was attempted, else Rejected.
class TNewRecordDialog : public QDialog {
    Q_OBJECT
public:
    struct Settings {
        QString caption;
        std::string table;         // the table appended to, e.g. "operater"
        std::string keyColumn;     // filled from Edit1 as typed, e.g. "WORKCODE"
        QString logPrefix;         // operlog action: the prefix + Edit1's text
        QString failure;           // shown when the insert fails
        bool countFailures = true; // false: only records created count
        bool typedKey = true;      // false: the key is generated, "创建" enabled at opening
        bool numericKey = false;   // the key is a number: text that is not one fails the insert
    };

    // One attempt: own check (stop on failure), then the protected insert
    // in one transaction; a failure leaves nothing written, is reported with
    // the failure message and goes no further; then the count, the fields
    // cleared and "创建" disabled.
    void Button1Click();
    void Button2Click();
    int Count() const { return CreatedCount; }

    QLineEdit *Edit1;
    QPushButton *Button1;
    QPushButton *Button2;

protected:
    explicit TNewRecordDialog(Settings settings, QWidget *parent = nullptr);
    void showEvent(QShowEvent *event) override;

    // The dialog's own check before anything is written; on failure it has
    // told the operator and returns false.
    virtual bool OwnCheck();
    // Assigns the new row's columns other than the key.
    virtual void AssignFields(TAdoQuery &row);
    // The protected block: the record's row, then the operlog row. Dialogs
    // with link rows override it and call the two steps in their order.
    virtual void Insert();
    void InsertRow();
    void WriteOperLog();
    // After a successful insert (before the fields are cleared).
    virtual void Created();
    // Empties every edit and memo of the dialog.
    virtual void ClearFields();

    int CreatedCount = 0;
    const Settings settings_;
};

// A check list of related rows in an Edit dialog and the link table behind
// it: item I is ticked when the link table holds (I, edited key).
struct TLinkList {
    QListWidget *list;
    std::string relatedSql;    // the rows offered, e.g. "select * from client"
    std::string relatedColumn; // the column listed, e.g. "CLIENTID"
    std::string linkTable;     // e.g. "task_client"
    std::string itemColumn;    // the link table's column for an item
    std::string keyColumn;     // the link table's column for the edited key
};

// One item of a check list as loaded.
struct TCheckItem {
    QString text;
    bool ticked;
};

// The items of link's check list for key, read through q in two statements
// whatever their number: relatedColumn of every row of relatedSql in the
// order returned, each ticked when linkTable holds (item, key). linkedFirst:
// the link rows under key first instead, ticked, in the order stored (also
// one that names no item), then the items not among them, unticked. Texts
// compare as the database compares them (letter case aside): a link row that
// equals no item byte for byte is looked up in relatedSql. Throws
// EDatabaseError.
std::vector<TCheckItem> checkItems(TAdoQuery &q, const TLinkList &link, const QString &key, bool linkedFirst = false);
// Replaces list's items by items.
void fillCheckList(QListWidget *list, const std::vector<TCheckItem> &items);

// Writes the link rows of key through Query1: every link table's rows under
// key are deleted first, then one row (key, item) is appended for each
// ticked item, in list order. Throws EDatabaseError.
void writeLinks(const std::vector<TLinkList> &links, const QString &key);

// Edit: changes the record whose key is the caption of the manager's
// selected row, and the link rows of its check lists. OK first runs the
// dialog's BeforeOk (false: the dialog stays as it is); then, when nothing
// was pressed or ticked, it closes with Accepted, after saving anyway or
// (unmodifiedWrites false) without writing; otherwise it saves. Cancel
// writes nothing. A save sets the manager's Changed from Modified and calls
// Saved. The record and its link rows are saved in one transaction: a
// failed update is reported with the failure message, a failed link row in
// the error box with the database's text, and either leaves the record as
// it was.
class TEditRecordDialog : public QDialog {
    Q_OBJECT
public:
    struct Settings {
        QString caption;
        std::string table;
        std::string keyColumn;
        QString failure;         // shown when the update fails
        bool numericKey = false; // the key stands unquoted in statements
        QString okName = QStringLiteral("Button3");
        QString cancelName = QStringLiteral("Button4");
        bool centred = true; // false: opens at its design position
        // false: OK without a change closes at once and writes nothing.
        bool unmodifiedWrites = true;
    };

    virtual void OkClick();
    void CancelClick() { reject(); }

    // The key as loaded (a numeric key in its decimal form).
    QString OriginalKey;
    // Set by any key pressed in an edit and by a tick in a check list.
    bool Modified = false;

    QLineEdit *Edit1;
    QPushButton *OkButton;
    QPushButton *CancelButton;

protected:
    // manager and source: the window whose Changed is set and the list whose
    // selected caption is the key (either may be null).
    TEditRecordDialog(Settings settings, TManagerFrame *manager, TListView *source, QWidget *parent = nullptr);
    // Loads the record and the check lists, then watches the edits; call at
    // the end of the subclass constructor. Throws EDatabaseError.
    void FormCreate();
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    virtual void LoadFields(TAdoQuery &row);
    // Assigns every column but the key (the frame assigns it from Edit1).
    virtual void SaveFields(TAdoQuery &row);
    virtual bool OwnCheck();
    // The dialog's checks before OK commits to closing; false keeps the
    // dialog as it is (the check has told the operator, or closed it).
    virtual bool BeforeOk();
    // Fills each check list (checkItems); rewrites the link rows under
    // the key as now typed: every delete first, then the ticked items.
    virtual void LoadLinks(const QString &key);
    virtual void SaveLinks();
    // After the save was committed and the manager's Changed set; the
    // dialog then closes with Accepted, also when this throws.
    virtual void Saved();
    // key as it stands in a statement: quoted, or checked to be a number.
    std::string KeyLiteral(const QString &key) const;

    std::vector<TLinkList> Links; // in the order their rows are written
    TManagerFrame *const manager_;
    TListView *const source_;
    const Settings settings_;
};

// Building blocks of the record dialogs' forms.
namespace desk {

// A plain single-line edit named after its component; password: shown as "*".
QLineEdit *recordEdit(QWidget *dialog, const char *name, bool password = false);
// A check list (TCheckListBox) named after its component.
QListWidget *checkList(QWidget *dialog, const char *name);
// Lays a dialog out: one labelled row per field, top to bottom (a row with
// an empty label spans the width), then the buttons side by side. Tab goes
// through the fields in that order, then the buttons (setTabChain).
void layoutRecord(QDialog *dialog, const std::vector<std::pair<QString, QWidget *>> &rows,
                  const std::vector<QWidget *> &buttons);
// A scroll area around contents that asks for their whole size, so that
// the dialog (fixed at its layout's size) shows them unscrolled where the
// screen has room and scrolls them where it has not.
QScrollArea *scrollingPanel(QWidget *dialog, QWidget *contents);
// Tab goes through widgets in this order: a widget that takes the focus
// itself, or else the widgets inside it that do, in the order they were
// made. Memos in the chain pass Tab on instead of taking it as text.
void setTabChain(const std::vector<QWidget *> &widgets);
// A column of the current row as text (NULL as "").
QString fieldText(TAdoQuery &row, const char *column);
// Assigns text to a column of the row being edited or appended.
void setField(TAdoQuery &row, const char *column, const QString &text);
// The same, but an empty text stores NULL.
void setTextOrNull(TAdoQuery &row, const char *column, const QString &text);

} // namespace desk
