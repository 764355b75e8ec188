#pragma once

#include "desk/ManagerFrame.h"

// "操作员管理": the operator accounts that the login checks ("操作员",
// ListView1), the work groups ("组", ListView2) and the modules ("模块",
// ListView3), with their New and Edit dialogs. Work groups and modules are
// records only: they grant nothing. The supervisor's row ("Kelvo") can be
// edited but never deleted. Opened only by the supervisor; one window at a
// time, an MDI child freed when it closes. Main thread.
class TOperManage : public TManagerFrame {
    Q_OBJECT
public:
    TOperManage();
    ~TOperManage() override;

    // The supervisor account's work code as stored.
    static const QString Supervisor;

    void Refresh() override;
    void ListSelectItem(TListView *list, int row, bool selected) override;

protected:
    bool RefuseDelete(const QString &category, const QString &key) override;
};

// The open operator manager; null while none is open.
extern TOperManage *OperManage;
