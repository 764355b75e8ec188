#pragma once

#include "desk/RecordDialogs.h"

class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class TListView;

// The record dialogs of the template manager (TfrmSMSCustom) and the type
// picker. The Edit dialogs take their key from the manager's list they are
// given and load in the constructor (throws EDatabaseError). Each dialog is
// named by the global of its form while it lives (the latest one, should
// two live at once).

// "新类型": smstype (TYPEID, NAME).
class TfrmNewSmsType : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewSmsType();
    ~TfrmNewSmsType() override;
    QLineEdit *Edit2; // NAME

protected:
    void AssignFields(TAdoQuery &row) override;
};

// "编辑消息类型"; opens at its design position.
class TfrmEditSmsType : public TEditRecordDialog {
    Q_OBJECT
public:
    TfrmEditSmsType(TManagerFrame *manager, TListView *list);
    ~TfrmEditSmsType() override;
    QLineEdit *Edit2;

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
};

// "新消息": smsdata (SMSID, TYPEID, TITLE, CONTENT). Every activation
// proposes the largest template number plus one in Edit1 (1 for an empty
// table), replacing what was typed there. The type box Edit2 is filled only
// by the picker; empty, it stores NULL. A number that is not a whole number
// fails like a duplicate and never reaches a statement.
class TfrmNewSmsData : public TNewRecordDialog {
    Q_OBJECT
public:
    TfrmNewSmsData();
    ~TfrmNewSmsData() override;

    // The number proposal; any error leaves Edit1 as it is.
    void FormActivate();
    void SpeedButton1Click(); // "选择...": the type picker
    void SpeedButton2Click(); // "清除": empties the type

    QLineEdit *Edit2; // TYPEID, read-only
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QLineEdit *Edit3;      // TITLE
    QPlainTextEdit *Memo1; // CONTENT

protected:
    void changeEvent(QEvent *event) override;
    void AssignFields(TAdoQuery &row) override;
};

// "编辑短消息记录": a template by its number; opens at its design
// position. "更改..." and "清除" mark it modified, whatever the picker
// returns.
class TfrmEditSmsData : public TEditRecordDialog {
    Q_OBJECT
public:
    TfrmEditSmsData(TManagerFrame *manager, TListView *list);
    ~TfrmEditSmsData() override;

    void SpeedButton1Click(); // "更改...": the type picker
    void SpeedButton2Click(); // "清除"

    QLineEdit *Edit2; // read-only
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QLineEdit *Edit3;
    QPlainTextEdit *Memo1;

protected:
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
};

// "选择消息类型": every template type (ListView2: number, name). "确定" or a
// double click writes the selected type's number into target (nothing
// selected: nothing written); "取消" writes nothing. Both close with
// Accepted. Loads in the constructor (throws EDatabaseError).
class TfrmSeleSmsType : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSeleSmsType(QLineEdit *target, QWidget *parent = nullptr);
    ~TfrmSeleSmsType() override;

    void Button1Click();
    void Button2Click() { done(Accepted); }

    QPushButton *Button1;
    QPushButton *Button2;
    TListView *ListView2;

private:
    QLineEdit *const target_;
};

extern TfrmNewSmsType *frmNewSmsType;
extern TfrmEditSmsType *frmEditSmsType;
extern TfrmNewSmsData *frmNewSmsData;
extern TfrmEditSmsData *frmEditSmsData;
extern TfrmSeleSmsType *frmSeleSmsType;
