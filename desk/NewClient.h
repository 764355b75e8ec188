#pragma once

#include "desk/ClientFields.h"
#include "desk/RecordDialogs.h"

class QComboBox;

// "新联系人": creates contacts one after another (client), each with the
// operlog row "增加联系人" + name and, unless the group box says "无", one
// client_cgroup row for the group chosen; all or nothing, a name client
// holds already refused ("新增记录失败,请检查联系人编号是否重复"). An empty
// mobile box stores one blank; any other mobile must be a number the engine
// sends to, or nothing is written, counted or cleared (desk::mobileAccepted).
// Enter moves from the name to the mobile box and on to the phone box, and in
// the boxes after it acts as "创建". After each attempt the boxes are emptied
// (the group and the sex stay) and the name box has the focus. Edit2 and
// Edit4 are never shown (NAME, PERSONID stay empty); Edit3 takes at most 11
// characters.
class TfrmNewClient : public TNewRecordDialog, public TClientBoxes {
    Q_OBJECT
public:
    // Throws EDatabaseError when the groups cannot be read.
    explicit TfrmNewClient(QWidget *parent = nullptr);
    ~TfrmNewClient() override;

    // "无" and every group, kept in the locale's order; only the list
    // chooses (typing is discarded), while the contacts window may preset
    // any text.
    QComboBox *ComboBox1;

protected:
    bool OwnCheck() override;
    void AssignFields(TAdoQuery &row) override;
    void Insert() override;
    void ClearFields() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
};

// The latest new-contact dialog while it is open; null otherwise.
// Set by the dialog's constructor and cleared by its destructor. Kept for
// the dialog's callers as designed; nothing here reads it.
extern TfrmNewClient *frmNewClient;
