#include "desk/DeskDb.h"

#include "codec/Numbers.h"
#include "codec/Text.h"
#include "data/DM1.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDateTime>

namespace desk {

TDataModule1 &Db()
{
    if (!DataModule1)
        throw EDatabaseError(0, "DataModule1: no data module (nobody has logged in)");
    return *DataModule1;
}

std::string quoted(const QString &value) { return QuotedStr(value.toStdString()); }

std::string number(const QString &value)
{
    bool ok = false;
    const qlonglong n = value.trimmed().toLongLong(&ok);
    if (!ok)
        throw EDatabaseError(0, "'" + value.toStdString() + "' is not a valid integer value");
    return std::to_string(n);
}

TAdoQuery &open(TAdoQuery &q, const std::string &sql)
{
    q.Close();
    q.SetSQL(sql);
    q.Open();
    return q;
}

std::int64_t exec(TAdoQuery &q, const std::string &sql)
{
    q.Close();
    q.SetSQL(sql);
    return q.ExecSQL();
}

std::string TDeleteFrom::statement(const QString &key) const
{
    return "delete from " + table + " where " + keyColumn + "=" + (numericKey ? number(key) : quoted(key));
}

bool mobileAccepted(const QString &number)
{
    const std::string typed = number.toStdString();
    if (strings::trimmed(typed).empty() || numbers::validNumber(typed))
        return true;
    boxes::showMessage(QStringLiteral("手机号码“") + number +
                       QStringLiteral("”不正确：只能由数字组成，最前面可以有一个“+”号"));
    return false;
}

QString workCode() { return MainFrm ? MainFrm->WorkCode : QString(); }

void appendOperLog(TAdoQuery &q, const QString &action)
{
    open(q, "select * from operlog");
    q.Append();
    q.FieldByName("WORKCODE")->SetAsString(workCode().toStdString());
    q.FieldByName("Action")->SetAsString(action.toStdString());
    q.FieldByName("OperTime")->SetAsDateTime(QDateTime::currentDateTime());
    q.Post();
    q.Close();
}

} // namespace desk
