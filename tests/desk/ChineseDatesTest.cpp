// Dates speak Chinese on a machine whose locale is not Chinese (the tests
// run under C.UTF-8): the birthday reads as a Chinese long date over its
// label, and its calendar names months and days in Chinese.
#include "ClientFixture.h"

#include "desk/EditClient.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

// What a picker's calendar shows at date: the month's name and the names
// above the day columns.
std::string calendarNames(QDateEdit *picker, QDate date)
{
    QCalendarWidget *calendar = picker->calendarWidget();
    calendar->setSelectedDate(date);
    QString names = calendar->findChild<QToolButton *>("qt_calendar_monthbutton")->text();
    const QAbstractItemModel *days = calendar->findChild<QAbstractItemView *>()->model();
    for (int column = 0; column < days->columnCount(); ++column)
        names += ' ' + days->index(0, column).data().toString();
    return names.simplified().toStdString();
}

using ChineseDates = ContactsTest;

TEST_F(ChineseDates, TheBirthdayReadsInChineseOverItsLabel)
{
    pick("张三"); // born 1990-05-06
    modal.then<TfrmEditClient>([](TfrmEditClient *d) {
        d->PageControl1->setCurrentWidget(d->TabSheet4);
        QTRY_VERIFY(d->DateTimePicker1->isVisible());
        EXPECT_EQ(d->DateTimePicker1->text().toStdString(), "1990年5月6日星期日");
        EXPECT_EQ(calendarNames(d->DateTimePicker1, {1990, 5, 6}), "五月 周日 周一 周二 周三 周四 周五 周六");
        // Where both lie, the picker is on top: the label does not show through.
        QWidget *page = d->DateTimePicker1->parentWidget();
        QWidget *top = page->childAt(d->DateTimePicker1->geometry().center());
        EXPECT_TRUE(top == d->DateTimePicker1 || d->DateTimePicker1->isAncestorOf(top));
        d->CancelButton->click();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(modal.done());
}

} // namespace
