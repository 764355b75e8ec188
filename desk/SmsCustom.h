#pragma once

#include "desk/ManagerFrame.h"

// "短消息定制管理": template types ("短消息类型", ListView1, from smstype)
// and numbered template texts ("短消息纪录", ListView2, from smsdata: the
// number, the type, the title and the content, which has no column). Both
// lists keep the database's order. One window at a time, an MDI child freed
// when it closes. Main thread.
class TfrmSMSCustom : public TManagerFrame {
    Q_OBJECT
public:
    TfrmSMSCustom();
    ~TfrmSMSCustom() override;

    void Refresh() override;
};

// The open template manager; null while none is open.
extern TfrmSMSCustom *frmSMSCustom;
