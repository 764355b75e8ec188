#pragma once

#include "desk/RecordDialogs.h"
#include "desk/TaskFields.h"

// "新任务": one task per opening. The task number is made from the clock
// when the dialog opens and cannot be typed; the pickers start at that
// moment; the check lists offer every contact and every contact group,
// none ticked. "创建" writes the task ("未执行"), a task_client row per
// ticked contact, a task_cgroup row per ticked group and the operlog row
// "增加任务" + number, all or nothing; a number that task already holds is
// refused ("新增记录失败,请检查任务编号是否重复"). A blank message is refused
// before anything is written or counted.
class TfrmNewTask : public TNewRecordDialog, public TTaskFields {
    Q_OBJECT
public:
    // Throws EDatabaseError when the contacts or groups cannot be read.
    explicit TfrmNewTask(QWidget *parent = nullptr);
    ~TfrmNewTask() override;

protected:
    bool OwnCheck() override;
    void AssignFields(TAdoQuery &row) override;
    void Insert() override;
};

// The latest new-task dialog while it is open; null otherwise.
// Set by the dialog's constructor and cleared by its destructor. Kept for
// the dialog's callers as designed; nothing here reads it.
extern TfrmNewTask *frmNewTask;
