#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QDateEdit;
class QDialog;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;
class TAdoQuery;

// The fields the new-task and edit-task dialogs share, laid out around the
// dialog's own task-number edit Edit1 (disabled) and its two buttons:
// "任务名" Edit2, "消息内容" the memo Edit3, "执行时间" the date picker
// DateTimePicker1 and the time picker DateTimePicker2, the check lists
// CheckListBox1 (contacts, under contactsLabel) and CheckListBox2 ("组").
struct TTaskFields {
    TTaskFields(QDialog *dialog, QLineEdit *edit1, QPushButton *ok, QPushButton *cancel, const QString &contactsLabel);

    // False, after the notice "消息内容不能为空！", when the message holds
    // nothing but blanks and control characters.
    bool MessageGiven() const;
    // The date of DateTimePicker1 with the time of day of DateTimePicker2.
    QDateTime ExeTime() const;
    void SetExeTime(const QDateTime &value);
    // TASKNAME, MESSAGE (as typed) and EXETIME of row from the fields.
    void Assign(TAdoQuery &row) const;

    QLineEdit *Edit2;
    QPlainTextEdit *Edit3;
    QDateEdit *DateTimePicker1;
    QTimeEdit *DateTimePicker2;
    QListWidget *CheckListBox1;
    QListWidget *CheckListBox2;
};

// The task number of a task created at moment: the short date followed at
// once by the long time ("2024-5-68:30:15").
QString taskNumber(const QDateTime &moment);
