#pragma once

#include <QWidget>

class TCoolBar;
class TListView;

// "操作日志管理": every operlog row, read only. It carries the managers'
// tool strip, of which only "R" (SpeedButton4) acts. One window at a time,
// an MDI child freed when it closes.
class TfrmOperLog : public QWidget {
    Q_OBJECT
public:
    explicit TfrmOperLog(QWidget *parent = nullptr);
    ~TfrmOperLog() override;

    // Empties the list and reloads it from "select * from operlog", in the
    // order the database delivers the rows. Throws EDatabaseError.
    void refresh();

    TCoolBar *CoolBar1;
    TListView *ListView1;
};

// The open operation-log window; null while none is open.
extern TfrmOperLog *frmOperLog;
