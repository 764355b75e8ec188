#include "desk/Outbox.h"

#include "codec/Gbk.h"
#include "codec/Text.h"
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDateTime>

namespace outbox {

bool ready(const QString &text, const QString &phone)
{
    if (strings::trimmed(text.toStdString()).empty()) {
        boxes::showMessage(QStringLiteral("消息内容不能为空!"));
        return false;
    }
    if (strings::trimmed(phone.toStdString()).empty()) {
        boxes::showMessage(QStringLiteral("手机号码不能为空!"));
        return false;
    }
    return desk::mobileAccepted(phone);
}

std::vector<std::string> pieces(const QString &text) { return gbk::splitUtf8(text.toStdString(), PieceBytes); }

void queue(const QString &phone, const std::vector<std::string> &messages)
{
    TDataModule1 &dm = desk::Db();
    TAdoQuery &table = dm.Query6;
    // A message half queued would reach the recipient in part, and again
    // in full when the operator saves it once more.
    ado::OperatorWait wait(dm.Database1);
    ado::Transaction transaction(dm.Database1);
    try {
        desk::open(table, "select * from  sms_tosend");
        for (const std::string &message : messages) {
            table.Append();
            table.FieldByName("TASKID")->SetAsString(DateTimeToStr(QDateTime::currentDateTime()));
            table.FieldByName("PHONE")->SetAsString(phone.toStdString());
            table.FieldByName("MESSAGE")->SetAsString(message);
            table.FieldByName("SENDFLAG")->SetAsString("未发");
            table.Post();
        }
        table.Close();
        transaction.commit();
    } catch (...) {
        // No cursor stays on rows of the transaction being undone.
        table.Close();
        throw;
    }
}

} // namespace outbox
