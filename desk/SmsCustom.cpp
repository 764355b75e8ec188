#include "desk/SmsCustom.h"

#include "desk/SmsDialogs.h"

TfrmSMSCustom *frmSMSCustom = nullptr;

TfrmSMSCustom::TfrmSMSCustom()
    : TManagerFrame(
          {.caption = QStringLiteral("短消息定制管理"), .newCaption = QStringLiteral("新增"), .smallIconsAsList = true},
          {{QStringLiteral("短消息类型"),
            {{QStringLiteral("类型编号"), 80}, {QStringLiteral("类型名"), 200}},
            false,
            [] { return new TfrmNewSmsType; },
            [this] { return new TfrmEditSmsType(this, ListView(1)); },
            {"SmsType", "TYPEID"}},
           {QStringLiteral("短消息纪录"),
            {{QStringLiteral("短消息编号"), 100}, {QStringLiteral("消息类型"), 80}, {QStringLiteral("标题"), 400}},
            false,
            [] { return new TfrmNewSmsData; },
            [this] { return new TfrmEditSmsData(this, ListView(2)); },
            {"SmsData", "SMSID", true}}})
{
    setObjectName("frmSMSCustom");
    FormCreate();
}

TfrmSMSCustom::~TfrmSMSCustom()
{
    if (frmSMSCustom == this)
        frmSMSCustom = nullptr;
}

void TfrmSMSCustom::Refresh()
{
    desk::fillList(ListView(1), "select * from SMSTYPE", {"TYPEID", "NAME"}, 3);
    desk::fillList(ListView(2), "select * from  SMSDATA", {"SMSID", "TYPEID", "TITLE", "CONTENT"}, 4);
}
