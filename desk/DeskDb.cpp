#include "desk/DeskDb.h"

#include "codec/Numbers.h"
#include "codec/Text.h"
#include "data/DM1.h"
#include "desk/main.h"
#include "platform/ado/AdoConnection.h"
#include "platform/ui/Boxes.h"

namespace desk {

TDataModule1 &Db() { return records::module(); }

std::string quoted(const QString &value) { return records::quoted(value.toStdString()); }

std::string number(const QString &value) { return records::number(value.toStdString()); }

bool mobileAccepted(const QString &number)
{
    const std::string typed = number.toStdString();
    if (strings::trimmed(typed).empty() || numbers::validNumber(typed))
        return true;
    boxes::showMessage(QStringLiteral("手机号码“") + number +
                       QStringLiteral("”不正确：只能由数字组成，最前面可以有一个“+”号"));
    return false;
}

QString databaseFile()
{
    return QString::fromStdString(ado::parseConnectionString(TDataModule1::ConnectionString).dataSource);
}

namespace {

// error as another program's lock on the database; null for any other.
const EDatabaseError *lockError(const std::exception &error)
{
    const auto *e = dynamic_cast<const EDatabaseError *>(&error);
    return e && ado::isBusy(*e) ? e : nullptr;
}

} // namespace

QString errorText(const std::exception &error)
{
    if (const EDatabaseError *e = lockError(error))
        return QString::fromUtf8(ado::LockedText) +
               QStringLiteral("，这一步没有完成。请稍候再试一次；若一直如此，"
                              "请关闭正在使用“%1”的程序（如 sqlcipher、备份或报表工具）。（%2）")
                   .arg(databaseFile(), QString::fromUtf8(e->what()));
    if (const auto *e = dynamic_cast<const EDatabaseError *>(&error))
        return QString::fromStdString(ado::describe(*e));
    return QString::fromUtf8(error.what());
}

void tellFailed(const std::exception &error)
{
    if (lockError(error))
        boxes::showMessage(errorText(error));
    else
        boxes::showError(error);
}

QString workCode() { return MainFrm ? MainFrm->WorkCode : QString(); }

void appendOperLog(TAdoQuery &q, const QString &action)
{
    records::appendOperLog(q, workCode().toStdString(), action.toStdString());
}

} // namespace desk
