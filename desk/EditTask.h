#pragma once

#include "desk/RecordDialogs.h"
#include "desk/TaskFields.h"

class TfrmTaskMan;

// "编辑任务": the task selected in the task window's shown list, its fields
// and its recipients ticked. Opened from the executed list it is read-only
// ("编辑任务(只读)"): no field, picker or tick can be changed, and "确定"
// (Button1) is disabled. Otherwise "确定" refuses a blank message and keeps
// the dialog open, refuses a task that the runner has executed meanwhile,
// and else saves the task row and rewrites its link rows (task_cgroup, then
// task_client) all or nothing.
// Any key in the name box or the memo, a picker change and a tick mark it
// modified. "取消" (Button2) and the close box write nothing.
class TfrmEditTask : public TEditRecordDialog, public TTaskFields {
    Q_OBJECT
public:
    // window: the task window whose selected task is edited and whose
    // Changed the save sets. Throws EDatabaseError when the task cannot be
    // read.
    explicit TfrmEditTask(TfrmTaskMan *window, QWidget *parent = nullptr);
    ~TfrmEditTask() override;

    const bool ReadOnly;

protected:
    bool BeforeOk() override;
    void LoadFields(TAdoQuery &row) override;
    void SaveFields(TAdoQuery &row) override;
};

// The latest edit-task dialog while it is open; null otherwise.
// Set by the dialog's constructor and cleared by its destructor. Kept for
// the dialog's callers as designed; nothing here reads it.
extern TfrmEditTask *frmEditTask;
