#include "desk/SmsDialogs.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "desk/ManagerFrame.h"
#include "platform/ado/Ado.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using desk::fieldText;
using desk::layoutRecord;
using desk::recordEdit;
using desk::setField;
using desk::setTextOrNull;

TfrmNewSmsType *frmNewSmsType = nullptr;
TfrmEditSmsType *frmEditSmsType = nullptr;
TfrmNewSmsData *frmNewSmsData = nullptr;
TfrmEditSmsData *frmEditSmsData = nullptr;
TfrmSeleSmsType *frmSeleSmsType = nullptr;

namespace {

QToolButton *speedButton(QWidget *dialog, const char *name, const QString &caption)
{
    auto *b = new QToolButton(dialog);
    b->setObjectName(name);
    b->setText(caption);
    return b;
}

// The read-only type box with its two buttons, as one row.
QWidget *typeRow(QWidget *dialog, QLineEdit *edit, QToolButton *choose, QToolButton *clear)
{
    edit->setReadOnly(true);
    auto *row = new QWidget(dialog);
    auto *strip = new QHBoxLayout(row);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->addWidget(edit, 1);
    strip->addWidget(choose);
    strip->addWidget(clear);
    return row;
}

QPlainTextEdit *memo(QWidget *dialog)
{
    auto *m = new QPlainTextEdit(dialog);
    m->setObjectName("Memo1");
    return m;
}

void chooseType(QLineEdit *target)
{
    TfrmSeleSmsType picker(target);
    picker.exec();
}

} // namespace

// --- types -------------------------------------------------------------------

TfrmNewSmsType::TfrmNewSmsType()
    : TNewRecordDialog({QStringLiteral("新类型"), "smstype", "TYPEID", QStringLiteral("增加短消息类型"),
                        QStringLiteral("新增记录失败,请检查类型编号是否重复")}),
      Edit2(recordEdit(this, "Edit2"))
{
    setObjectName("frmNewSmsType");
    frmNewSmsType = this;
    layoutRecord(this, {{QStringLiteral("类型ID"), Edit1}, {QStringLiteral("类型名"), Edit2}}, {Button1, Button2});
}

TfrmNewSmsType::~TfrmNewSmsType()
{
    if (frmNewSmsType == this)
        frmNewSmsType = nullptr;
}

void TfrmNewSmsType::AssignFields(TAdoQuery &row) { setField(row, "NAME", Edit2->text()); }

TfrmEditSmsType::TfrmEditSmsType(TManagerFrame *manager, TListView *list)
    : TEditRecordDialog({.caption = QStringLiteral("编辑消息类型"),
                         .table = "smstype",
                         .keyColumn = "TYPEID",
                         .failure = QStringLiteral("记录更新失败,请检查类型编号是否重复!"),
                         .centred = false},
                        manager, list),
      Edit2(recordEdit(this, "Edit2"))
{
    setObjectName("frmEditSmsType");
    layoutRecord(this, {{QStringLiteral("类型ID"), Edit1}, {QStringLiteral("类型名"), Edit2}},
                 {OkButton, CancelButton});
    FormCreate();
    frmEditSmsType = this; // once loaded: a constructor that throws leaves no dangling name
}

TfrmEditSmsType::~TfrmEditSmsType()
{
    if (frmEditSmsType == this)
        frmEditSmsType = nullptr;
}

void TfrmEditSmsType::LoadFields(TAdoQuery &row) { Edit2->setText(fieldText(row, "NAME")); }

void TfrmEditSmsType::SaveFields(TAdoQuery &row) { setField(row, "name", Edit2->text()); }

// --- templates ---------------------------------------------------------------

TfrmNewSmsData::TfrmNewSmsData()
    : TNewRecordDialog({.caption = QStringLiteral("新消息"),
                        .table = "smsdata",
                        .keyColumn = "SMSID",
                        .logPrefix = QStringLiteral("增加短消息纪录"),
                        .failure = QStringLiteral("新增记录失败,请检查消息编号是否重复"),
                        .numericKey = true}),
      Edit2(recordEdit(this, "Edit2")), SpeedButton1(speedButton(this, "SpeedButton1", QStringLiteral("选择..."))),
      SpeedButton2(speedButton(this, "SpeedButton2", QStringLiteral("清除"))), Edit3(recordEdit(this, "Edit3")),
      Memo1(memo(this))
{
    setObjectName("frmNewSmsData");
    frmNewSmsData = this;
    layoutRecord(this,
                 {{QStringLiteral("短消息ID"), Edit1},
                  {QStringLiteral("类型编号"), typeRow(this, Edit2, SpeedButton1, SpeedButton2)},
                  {QStringLiteral("标题"), Edit3},
                  {QStringLiteral("内容"), Memo1}},
                 {Button1, Button2});
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
}

TfrmNewSmsData::~TfrmNewSmsData()
{
    if (frmNewSmsData == this)
        frmNewSmsData = nullptr;
}

void TfrmNewSmsData::changeEvent(QEvent *event)
{
    TNewRecordDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmNewSmsData::FormActivate()
{
    try {
        TAdoQuery &q = desk::open(desk::Db().Query1, "select smsid from smsdata order by smsid desc");
        const qint64 largest = q.IsEmpty() ? 0 : q.Fields(0)->AsInteger();
        q.Close();
        Edit1->setText(QString::number(largest + 1));
    } catch (const std::exception &) {
        // The dialog stays usable with whatever the box holds.
    }
}

void TfrmNewSmsData::SpeedButton1Click()
{
    chooseType(Edit2);
    // The return from the picker activates the dialog again; not every
    // window system reports it, so propose here too (the same number).
    FormActivate();
}

void TfrmNewSmsData::SpeedButton2Click() { Edit2->clear(); }

void TfrmNewSmsData::AssignFields(TAdoQuery &row)
{
    setTextOrNull(row, "TYPEID", Edit2->text());
    setField(row, "TITLE", Edit3->text());
    setField(row, "CONTENT", Memo1->toPlainText());
}

TfrmEditSmsData::TfrmEditSmsData(TManagerFrame *manager, TListView *list)
    : TEditRecordDialog({.caption = QStringLiteral("编辑短消息记录"),
                         .table = "smsdata",
                         .keyColumn = "SMSID",
                         .failure = QStringLiteral("记录更新失败,请检查消息编号是否重复!"),
                         .numericKey = true,
                         .centred = false},
                        manager, list),
      Edit2(recordEdit(this, "Edit2")), SpeedButton1(speedButton(this, "SpeedButton1", QStringLiteral("更改..."))),
      SpeedButton2(speedButton(this, "SpeedButton2", QStringLiteral("清除"))), Edit3(recordEdit(this, "Edit3")),
      Memo1(memo(this))
{
    setObjectName("frmEditSmsData");
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layoutRecord(this,
                 {{QStringLiteral("短消息ID"), Edit1},
                  {QStringLiteral("类型编号"), typeRow(this, Edit2, SpeedButton1, SpeedButton2)},
                  {QStringLiteral("标题"), Edit3},
                  {QStringLiteral("内容"), Memo1}},
                 {OkButton, CancelButton});
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    FormCreate();
    frmEditSmsData = this; // once loaded: a constructor that throws leaves no dangling name
}

TfrmEditSmsData::~TfrmEditSmsData()
{
    if (frmEditSmsData == this)
        frmEditSmsData = nullptr;
}

void TfrmEditSmsData::SpeedButton1Click()
{
    Modified = true; // whatever the picker returns
    chooseType(Edit2);
}

void TfrmEditSmsData::SpeedButton2Click()
{
    Modified = true;
    Edit2->clear();
}

void TfrmEditSmsData::LoadFields(TAdoQuery &row)
{
    Edit2->setText(fieldText(row, "TYPEID"));
    Edit3->setText(fieldText(row, "TITLE"));
    Memo1->setPlainText(fieldText(row, "CONTENT"));
}

void TfrmEditSmsData::SaveFields(TAdoQuery &row)
{
    setTextOrNull(row, "typeid", Edit2->text());
    setField(row, "title", Edit3->text());
    setField(row, "content", Memo1->toPlainText());
}

// --- the type picker ---------------------------------------------------------

TfrmSeleSmsType::TfrmSeleSmsType(QLineEdit *target, QWidget *parent)
    : QDialog(parent), Button1(new QPushButton(QStringLiteral("确定"), this)),
      Button2(new QPushButton(QStringLiteral("取消"), this)), ListView2(new TListView(this)), target_(target)
{
    setObjectName("frmSeleSmsType");
    setWindowTitle(QStringLiteral("选择消息类型"));
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");
    ListView2->setObjectName("ListView2");
    ListView2->AddColumn(QStringLiteral("类型编号"), 100);
    ListView2->AddColumn(QStringLiteral("类型名"), 200);
    auto *column = new QVBoxLayout(this);
    column->addWidget(ListView2, 1);
    auto *strip = new QHBoxLayout;
    strip->addStretch(1);
    strip->addWidget(Button1);
    strip->addWidget(Button2);
    column->addLayout(strip);
    desk::fillList(ListView2, "select * from  smstype", {"TYPEID", "NAME"}, -1);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(ListView2, &TListView::DblClick, this, [this] { Button1Click(); });
    frmSeleSmsType = this;
}

TfrmSeleSmsType::~TfrmSeleSmsType()
{
    if (frmSeleSmsType == this)
        frmSeleSmsType = nullptr;
}

void TfrmSeleSmsType::Button1Click()
{
    if (const int row = ListView2->Selected(); row >= 0)
        target_->setText(ListView2->Caption(row));
    done(Accepted);
}
