#pragma once

#include "desk/ClientFields.h"
#include "desk/ClientPages.h"
#include "desk/RecordDialogs.h"

#include <QDate>
#include <QTime>

class QListWidget;
class QTabWidget;
class TBusinessCard;

// "编辑联系人": the contact selected in the contacts list, on four pages:
// "个人信息" (the client row's boxes, mirrored live on the business card),
// and the pages of TClientPages; above them the card and the groups
// "隶属组" (the contact's own first, ticked, in the order stored, then the
// other groups by name). "确定" (Button3) saves only when something was
// changed on "个人信息", in the group list or in the birthday picker: the
// client row found by the name as loaded (a changed name renames it;
// another contact's name is refused with "记录更新失败,请检查联系人名称是否
// 重复!"), an empty mobile box as one blank, then the contact's groups
// rewritten under the name as now typed, all or nothing; the contacts
// list's row then shows the new name and the window reloads. Rows stored
// under a former name stay where they are. A mobile number other than
// blanks must be one the engine sends to, or nothing is saved. "确定" first
// checks the contact (that number, a name another contact has), refusing
// before anything is stored, then stores what the other pages hold
// unstored (a loaded photo, the extra columns, a note;
// TClientPages::Pending), each as its page's button would; "取消"
// (Button4), Esc and the close box ask once for each whether to store it,
// and otherwise write nothing. A store that fails is told and keeps the
// editor open with what was typed.
// A contact that no longer exists (a group member without its client row)
// opens with empty pages that write nothing, and "确定" says so and closes
// without writing.
// A birthday of zero (or none) hides the picker over "    年  月  日";
// double-clicking that label shows it; zero is stored as no date. Only the
// zero date itself is zero: any earlier date is a birthday.
class TfrmEditClient : public TEditRecordDialog, public TClientPages, public TClientBoxes {
    Q_OBJECT
public:
    // manager: the window whose Changed the save sets; contacts: its list
    // whose selected row is the contact and whose row is renamed. Throws
    // EDatabaseError when the contact cannot be read.
    TfrmEditClient(TManagerFrame *manager, TListView *contacts, QWidget *parent = nullptr);
    ~TfrmEditClient() override;

    void Label25DblClick();
    void reject() override;
    // The birthday picker holds date-time zero.
    bool BirthdayZero() const;

    TBusinessCard *Card;
    QListWidget *CheckListBox1; // "隶属组"
    QTabWidget *PageControl1;

    // The picker's value for date-time zero.
    static QDate ZeroDate() { return {1899, 12, 30}; }

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
    void LoadLinks(const QString &key) override;
    bool BeforeOk() override;
    void Saved() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *personalPage();
    // Edit1 names another contact; told with the update's failure text.
    bool nameTaken();
    void refreshCard();

    QTime birthTime_;    // the time of day the stored birthday carried
    bool ghost_ = false; // no client row held the key at opening
};

// The latest contact editor while it is open; null otherwise.
// Set by the dialog's constructor and cleared by its destructor. Kept for
// the dialog's callers as designed; nothing here reads it.
extern TfrmEditClient *frmEditClient;
