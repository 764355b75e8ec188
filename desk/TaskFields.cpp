#include "desk/TaskFields.h"

#include "codec/Text.h"
#include "desk/DeskDb.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDateEdit>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>

TTaskFields::TTaskFields(QDialog *dialog, QLineEdit *edit1, QPushButton *ok, QPushButton *cancel,
                         const QString &contactsLabel)
    : Edit2(new QLineEdit(dialog)), Edit3(new QPlainTextEdit(dialog)), DateTimePicker1(new QDateEdit(dialog)),
      DateTimePicker2(new QTimeEdit(dialog)), CheckListBox1(new QListWidget(dialog)),
      CheckListBox2(new QListWidget(dialog))
{
    Edit2->setObjectName("Edit2");
    Edit3->setObjectName("Edit3");
    DateTimePicker1->setObjectName("DateTimePicker1");
    DateTimePicker2->setObjectName("DateTimePicker2");
    CheckListBox1->setObjectName("CheckListBox1");
    CheckListBox2->setObjectName("CheckListBox2");
    edit1->setEnabled(false);
    edit1->setReadOnly(true);
    Edit3->setTabChangesFocus(true);
    Edit3->setFixedHeight(80);
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(ShortDateFormat());
    DateTimePicker2->setDisplayFormat(LongTimeFormat());
    for (QListWidget *l : {CheckListBox1, CheckListBox2})
        l->setFixedSize(180, 160);

    auto *grid = new QGridLayout(dialog);
    auto label = [dialog](const QString &text) { return new QLabel(text, dialog); };
    grid->addWidget(label(QStringLiteral("任务编号")), 0, 0);
    grid->addWidget(edit1, 0, 1);
    grid->addWidget(label(QStringLiteral("任务名")), 0, 2);
    grid->addWidget(Edit2, 0, 3);
    grid->addWidget(label(QStringLiteral("消息内容")), 1, 0, Qt::AlignTop);
    grid->addWidget(Edit3, 1, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("执行时间")), 2, 0);
    auto *when = new QHBoxLayout;
    when->addWidget(DateTimePicker1);
    when->addWidget(DateTimePicker2);
    when->addStretch(1);
    grid->addLayout(when, 2, 1, 1, 3);
    grid->addWidget(label(contactsLabel), 3, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("组")), 3, 2, 1, 2);
    grid->addWidget(CheckListBox1, 4, 0, 1, 2);
    grid->addWidget(CheckListBox2, 4, 2, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 4);
    QWidget *chain[] = {edit1,         Edit2,         Edit3, DateTimePicker1, DateTimePicker2,
                        CheckListBox1, CheckListBox2, ok,    cancel};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

bool TTaskFields::MessageGiven() const
{
    if (!strings::trimmed(Edit3->toPlainText().toStdString()).empty())
        return true;
    boxes::showMessage(QStringLiteral("消息内容不能为空！"));
    return false;
}

QDateTime TTaskFields::ExeTime() const
{
    const QTime t = DateTimePicker2->time();
    return QDateTime(DateTimePicker1->date(), QTime(t.hour(), t.minute(), t.second()));
}

void TTaskFields::SetExeTime(const QDateTime &value)
{
    DateTimePicker1->setDate(value.date());
    DateTimePicker2->setTime(value.time());
}

void TTaskFields::Assign(TAdoQuery &row) const
{
    row.FieldByName("TASKNAME")->SetAsString(Edit2->text().toStdString());
    row.FieldByName("MESSAGE")->SetAsString(Edit3->toPlainText().toStdString());
    row.FieldByName("EXETIME")->SetAsDateTime(ExeTime());
}

QString taskNumber(const QDateTime &moment)
{
    return moment.date().toString(ShortDateFormat()) + moment.time().toString(LongTimeFormat());
}
