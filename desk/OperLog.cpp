#include "desk/OperLog.h"

#include "data/DM1.h"
#include "desk/CoolBar.h"
#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "desk/Pictures.h"
#include "platform/ado/Ado.h"

#include <QToolButton>
#include <QVBoxLayout>

TfrmOperLog *frmOperLog = nullptr;

TfrmOperLog::TfrmOperLog(QWidget *parent)
    : QWidget(parent), CoolBar1(new TCoolBar(this)), ListView1(new TListView(this))
{
    setObjectName("frmOperLog");
    setWindowTitle(QStringLiteral("操作日志管理"));
    ListView1->setObjectName("ListView1");
    ListView1->AddColumn(QStringLiteral("工号"), 80);
    ListView1->AddColumn(QStringLiteral("日期"), 150);
    ListView1->AddColumn(QStringLiteral("操作"), 300);
    ListView1->SetImages({pictures::recordImage(4)});
    CoolBar1->SpeedButton(12)->setEnabled(false);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CoolBar1);
    column->addWidget(ListView1, 1);
    connect(CoolBar1->SpeedButton(4), &QToolButton::clicked, this, [this] { refresh(); });
    refresh();
}

TfrmOperLog::~TfrmOperLog()
{
    if (frmOperLog == this)
        frmOperLog = nullptr;
}

void TfrmOperLog::refresh()
{
    ListView1->Clear();
    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, "select * from operlog");
    for (; !q.Eof(); q.Next())
        ListView1->AddItem(QString::fromStdString(q.FieldByName("WORKCODE")->AsString()),
                           {QString::fromStdString(q.FieldByName("OperTime")->AsString()),
                            QString::fromStdString(q.FieldByName("Action")->AsString())});
    q.Close();
}
