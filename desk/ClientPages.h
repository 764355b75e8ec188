#pragma once

#include "platform/ado/Ado.h"

#include <QString>
#include <array>

class QAction;
class QDateEdit;
class QDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QWidget;
class TDBEdit;
class TDBGrid;
class TDBImage;
class TDBMemo;
class TDBNavigator;

// The contact editor's pages besides "个人信息", working on database rows
// through data-aware controls and stored by their own buttons; what was
// typed or loaded there and not yet stored (Pending) the editor's "确定"
// stores and its "取消" asks about, see TfrmEditClient:
//   "事务记录" (TabSheet2): the contact's dated notes, newest first, in
//       DBGrid2 (editable in place) and DBMemo2, moved through and posted
//       with DBNavigator2; "添加" (Button5) adds the text of Memo1 as a note.
//   "通信记录" (TabSheet3): the SMS sent to (DBGrid1) and received from
//       (DBGrid3) the contact's mobile number as stored; Memo2 shows the
//       full text of the message last moved to or clicked.
//   "其他" (TabSheet4): further columns of the contact's client row
//       (DBEdit1 to DBEdit11, posted with DBNavigator3), the birthday picker
//       DateTimePicker1 over the label Label25 (the editor's), and the five
//       photos of clientphotos, one at a time in DBImage1 by the position of
//       ScrollBar1 (0 to 4), loaded through its popup "添加图片" and posted
//       or cancelled with DBNavigator1.
// Every result set is a query of the editor's own on the data module's
// connection: no timer step or engine handler re-points them while the
// editor is open, so a post always lands on this contact's rows. Main
// thread only.
struct TClientPages {
    explicit TClientPages(QDialog *dialog);
    // The controls go before the result sets they show.
    ~TClientPages();
    TClientPages(const TClientPages &) = delete;
    TClientPages &operator=(const TClientPages &) = delete;

    // Opens the photo row of key, first appending one holding only key when
    // there is none, and the contact's client row for the extra columns.
    // Throws EDatabaseError.
    void OpenRows(const QString &key);
    // Opens the notes of key and the messages sent to and received from
    // mobile, in that order. Throws EDatabaseError.
    void OpenLists(const QString &key, const QString &mobile);

    // "添加": a note with the time now and the text of Memo1, under the
    // contact's name as loaded (a name typed but not saved is no contact);
    // Memo1 is then emptied. A failure goes to the error box, Memo1 keeps
    // its text and the answer is false.
    void Button5Click() { AddNote(); }
    bool AddNote();
    // The photo box shows the column "photo" + (position + 1).
    void ScrollBar1Change();
    // "添加图片": the photo row into Edit, then the picture dialog; a file
    // chosen is loaded into the box (TDBImage::LoadFromFile).
    void N1Click();
    // What a page holds that its own button has not stored: a picture
    // loaded into the photo row; a change of the extra columns; a change of
    // a note, or a text in Memo1 (blanks aside) that "添加" has not added.
    enum class Part { Photo, Details, Notes };
    bool Pending(Part part) const;
    // Stores it as the page's buttons would; true when stored or nothing was
    // pending, false after the error box, what was typed staying in place
    // for another try.
    bool Store(Part part);
    // Drops it: the row's change is cancelled, Memo1 emptied.
    void Drop(Part part);
    // The text of field MESSAGE of q's current row into Memo2.
    void ShowMessageOf(TAdoQuery &q);
    // The extra-column box of number n (1 to 11).
    TDBEdit *DBEdit(int n) const { return dbEdits_[size_t(n - 1)]; }

    TAdoQuery ADOQuery1; // notes
    TAdoQuery ADOQuery2; // sent
    TAdoQuery ADOQuery3; // received
    TAdoQuery ADOQuery4; // the client row of the extra columns
    TAdoQuery ADOQuery5; // the photo row
    TDataSource DataSource1;
    TDataSource DataSource2;
    TDataSource DataSource3;
    TDataSource DataSource4;
    TDataSource DataSource5;

    QWidget *TabSheet2;
    QWidget *TabSheet3;
    QWidget *TabSheet4;
    TDBGrid *DBGrid2;
    TDBMemo *DBMemo2;
    TDBNavigator *DBNavigator2;
    QPlainTextEdit *Memo1;
    QPushButton *Button5;
    TDBGrid *DBGrid1;
    TDBGrid *DBGrid3;
    QPlainTextEdit *Memo2;
    QDateEdit *DateTimePicker1;
    QLabel *Label25;
    TDBNavigator *DBNavigator3;
    TDBImage *DBImage1;
    QScrollBar *ScrollBar1;
    TDBNavigator *DBNavigator1;
    QMenu *PopupMenu1;
    QAction *N1; // "添加图片"

private:
    QWidget *notesPage(QDialog *dialog);
    QWidget *messagesPage(QDialog *dialog);
    QWidget *otherPage(QDialog *dialog);

    QDialog *dialog_;
    QString key_; // the contact's name as loaded
    std::array<TDBEdit *, 11> dbEdits_{};
};
