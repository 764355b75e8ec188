#pragma once

#include "desk/ManagerFrame.h"

// "任务管理": the tasks not executed yet ("未执行任务", ListView1) and the
// executed ones ("已执行任务", ListView2), with the columns "任务编号",
// "任务名称", "消息内容" and "发送时间". New and Edit open TfrmNewTask and
// TfrmEditTask for both lists; Delete refuses an executed task with the
// notice "不能删除已执行任务" and leaves a deleted task's link rows in
// place. SpeedButton13 has no action. While open, the window is the one the
// task runner reloads after it has executed a task. One window at a time,
// an MDI child freed when it closes. Main thread.
class TfrmTaskMan : public TManagerFrame {
    Q_OBJECT
public:
    // Throws EDatabaseError when the tasks cannot be read.
    explicit TfrmTaskMan(QWidget *parent = nullptr);
    ~TfrmTaskMan() override;

    // Empties both lists and reloads them from task, by STATE, in the order
    // the database returns the rows. Throws EDatabaseError.
    void Refresh() override;

protected:
    bool RefuseDelete(const QString &category, const QString &key) override;
};

// The open task window; null while none is open.
extern TfrmTaskMan *frmTaskMan;
