#include "desk/ClientPages.h"

#include "data/DM1.h"
#include "desk/DataControls.h"
#include "desk/DeskDb.h"
#include "platform/ui/Boxes.h"

#include <QDateEdit>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

using Button = TDBNavigator::Button;

const QString PictureFilter = QStringLiteral("所有图片 (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf);;"
                                             "JPEG 图像文件 (*.jpg *.jpeg);;位图 (*.bmp);;图标 (*.ico);;"
                                             "增强型图元文件 (*.emf);;图元文件 (*.wmf)");

template <class W> W *named(W *widget, const char *name)
{
    widget->setObjectName(name);
    return widget;
}

QGroupBox *framed(QWidget *parent, const QString &title, QLayout *content)
{
    auto *box = new QGroupBox(title, parent);
    box->setLayout(content);
    return box;
}

} // namespace

TClientPages::TClientPages(QDialog *dialog)
    : ADOQuery1(desk::Db().Database1, "ADOQuery1"), ADOQuery2(desk::Db().Database1, "ADOQuery2"),
      ADOQuery3(desk::Db().Database1, "ADOQuery3"), ADOQuery4(desk::Db().Database1, "ADOQuery4"),
      ADOQuery5(desk::Db().Database1, "ADOQuery5"), dialog_(dialog)
{
    DataSource1.SetDataSet(&ADOQuery1);
    DataSource2.SetDataSet(&ADOQuery2);
    DataSource3.SetDataSet(&ADOQuery3);
    DataSource4.SetDataSet(&ADOQuery4);
    DataSource5.SetDataSet(&ADOQuery5);
    TabSheet2 = notesPage(dialog);
    TabSheet3 = messagesPage(dialog);
    TabSheet4 = otherPage(dialog);
    ADOQuery2.AfterScroll = [this](TAdoQuery &q) { ShowMessageOf(q); };
    ADOQuery3.AfterScroll = [this](TAdoQuery &q) { ShowMessageOf(q); };
}

TClientPages::~TClientPages()
{
    ADOQuery2.AfterScroll = nullptr;
    ADOQuery3.AfterScroll = nullptr;
    delete TabSheet2;
    delete TabSheet3;
    delete TabSheet4;
}

QWidget *TClientPages::notesPage(QDialog *dialog)
{
    auto *page = named(new QWidget(dialog), "TabSheet2");
    DBGrid2 = named(new TDBGrid(&DataSource1,
                                {{{}, {}, 0, false},
                                 {"datetime", QStringLiteral("日期"), 150},
                                 {"session", QStringLiteral("事务内容"), 400},
                                 {"Status", QStringLiteral("状态")},
                                 {"Level", QStringLiteral("级别")}},
                                page),
                    "DBGrid2");
    DBMemo2 = named(new TDBMemo(&DataSource1, "session", page), "DBMemo2");
    DBMemo2->setFixedHeight(60);
    DBNavigator2 = named(
        new TDBNavigator(&DataSource1, {Button::First, Button::Prior, Button::Next, Button::Last, Button::Post}, page),
        "DBNavigator2");
    Memo1 = named(new QPlainTextEdit(page), "Memo1");
    Memo1->setFixedHeight(60);
    Button5 = named(new QPushButton(QStringLiteral("添加"), page), "Button5");
    Button5->setAutoDefault(false);
    QObject::connect(Button5, &QPushButton::clicked, dialog, [this] { Button5Click(); });

    auto *add = new QHBoxLayout;
    add->addWidget(Memo1, 1);
    add->addWidget(Button5, 0, Qt::AlignBottom);
    auto *column = new QVBoxLayout(page);
    column->addWidget(DBGrid2, 1);
    column->addWidget(DBMemo2);
    column->addWidget(DBNavigator2, 0, Qt::AlignLeft);
    column->addWidget(framed(page, QStringLiteral("新增"), add));
    return page;
}

QWidget *TClientPages::messagesPage(QDialog *dialog)
{
    auto *page = named(new QWidget(dialog), "TabSheet3");
    DBGrid1 = named(new TDBGrid(&DataSource2,
                                {{"TASKID", QStringLiteral("时间"), 150},
                                 {"MESSAGE", QStringLiteral("内容"), 310},
                                 {"SENDFLAG", QStringLiteral("状态")}},
                                page),
                    "DBGrid1");
    DBGrid3 = named(new TDBGrid(&DataSource3,
                                {{"TIME", QStringLiteral("时间"), 150},
                                 {"PHONE", QStringLiteral("手机号码"), 64, false},
                                 {"MESSAGE", QStringLiteral("内容"), 310},
                                 {"READFLAG", QStringLiteral("状态")}},
                                page),
                    "DBGrid3");
    for (TDBGrid *g : {DBGrid1, DBGrid3})
        g->SetReadOnly(true);
    QObject::connect(DBGrid1, &TDBGrid::CellClick, dialog, [this] { ShowMessageOf(ADOQuery2); });
    QObject::connect(DBGrid3, &TDBGrid::ColEnter, dialog, [this] { ShowMessageOf(ADOQuery3); });
    Memo2 = named(new QPlainTextEdit(page), "Memo2");
    Memo2->setReadOnly(true);
    Memo2->setFixedHeight(70);
    QFont bold = Memo2->font();
    bold.setBold(true);
    Memo2->setFont(bold);
    Memo2->setStyleSheet(QStringLiteral("color: navy"));

    auto wrap = [](QWidget *w) {
        auto *l = new QVBoxLayout;
        l->addWidget(w);
        return l;
    };
    auto *column = new QVBoxLayout(page);
    column->addWidget(framed(page, QStringLiteral("发送的短信"), wrap(DBGrid1)), 1);
    column->addWidget(framed(page, QStringLiteral("收到的短信"), wrap(DBGrid3)), 1);
    column->addWidget(Memo2);
    return page;
}

QWidget *TClientPages::otherPage(QDialog *dialog)
{
    auto *page = named(new QWidget(dialog), "TabSheet4");
    auto *grid = new QGridLayout;
    // The short boxes two to a line, the long ones across.
    const struct {
        int number;
        const char *label;
        const char *field;
        int row, column;
        bool wide;
    } boxes[] = {{1, "昵称", "nickname", 0, 0, false},     {2, "网名", "netname", 0, 2, false},
                 {3, "爱好", "like", 1, 0, false},         {4, "原籍", "orighome", 1, 2, false},
                 {5, "宅电", "homephone", 2, 0, false},    {6, "OICQ", "OICQ", 2, 2, false},
                 {11, "民族", "nation", 3, 0, false},      {10, "聊天工具", "CHATTOOL", 3, 2, false},
                 {7, "住宅地址:", "homeaddr", 4, 0, true}, {8, "家庭成员:", "family", 5, 0, true},
                 {9, "近况:", "recent", 6, 0, true}};
    for (const auto &b : boxes) {
        auto *edit = new TDBEdit(&DataSource4, QString::fromLatin1(b.field), page);
        edit->setObjectName(QStringLiteral("DBEdit%1").arg(b.number));
        dbEdits_[size_t(b.number - 1)] = edit;
        grid->addWidget(new QLabel(QString::fromUtf8(b.label), page), b.row, b.column);
        grid->addWidget(edit, b.row, b.column + 1, 1, b.wide ? 3 : 1);
    }
    DBNavigator3 = named(new TDBNavigator(&DataSource4, {Button::Post}, page), "DBNavigator3");

    DateTimePicker1 = named(new QDateEdit(page), "DateTimePicker1");
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    Label25 = named(new QLabel(QStringLiteral("    年  月  日"), page), "Label25");
    auto *birthday = new QGridLayout; // the picker over the label, in one cell
    birthday->addWidget(Label25, 0, 0);
    birthday->addWidget(DateTimePicker1, 0, 0);
    DateTimePicker1->raise(); // the label, made later, would be drawn over the date

    DBImage1 = named(new TDBImage(&DataSource5, "photo1", page), "DBImage1");
    DBImage1->setToolTip(QStringLiteral("图片"));
    DBImage1->setFixedSize(150, 180);
    ScrollBar1 = named(new QScrollBar(Qt::Horizontal, page), "ScrollBar1");
    ScrollBar1->setRange(0, 4);
    ScrollBar1->setPageStep(1);
    QObject::connect(ScrollBar1, &QScrollBar::valueChanged, dialog, [this] { ScrollBar1Change(); });
    DBNavigator1 = named(new TDBNavigator(&DataSource5, {Button::Post, Button::Cancel}, page), "DBNavigator1");
    PopupMenu1 = named(new QMenu(page), "PopupMenu1");
    N1 = PopupMenu1->addAction(QStringLiteral("添加图片"), dialog, [this] { N1Click(); });
    N1->setObjectName("N1");
    DBImage1->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(DBImage1, &QWidget::customContextMenuRequested, PopupMenu1,
                     [this](const QPoint &at) { PopupMenu1->popup(DBImage1->mapToGlobal(at)); });

    auto *left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(DBNavigator3, 0, Qt::AlignLeft);
    auto *born = new QHBoxLayout;
    born->addWidget(new QLabel(QStringLiteral("生日"), page));
    born->addLayout(birthday, 1);
    left->addLayout(born);
    left->addStretch(1);
    auto *photo = new QVBoxLayout;
    photo->addWidget(DBImage1);
    auto *under = new QHBoxLayout;
    under->addWidget(ScrollBar1, 1);
    under->addWidget(DBNavigator1);
    photo->addLayout(under);
    photo->addStretch(1);
    auto *row = new QHBoxLayout(page);
    row->addLayout(left, 1);
    row->addLayout(photo);
    return page;
}

void TClientPages::OpenRows(const QString &key)
{
    key_ = key;
    desk::open(ADOQuery5, "select * from clientphotos where CLIENTID=" + desk::quoted(key));
    if (ADOQuery5.IsEmpty()) {
        ADOQuery5.Append();
        ADOQuery5.FieldByName("CLIENTID")->SetAsString(key.toStdString());
        ADOQuery5.Post();
    }
    desk::open(ADOQuery4, "select * from client where CLIENTID=" + desk::quoted(key));
}

void TClientPages::OpenLists(const QString &key, const QString &mobile)
{
    // No blank before "order": as the statement has always been written.
    desk::open(ADOQuery1, "select * from clientsession where clientid=" + desk::quoted(key) + "order by datetime desc");
    desk::open(ADOQuery2, "select * from sms_tosend where phone=" + desk::quoted(mobile));
    desk::open(ADOQuery3, "select * from sms_toread where phone=" + desk::quoted(mobile));
}

void TClientPages::ShowMessageOf(TAdoQuery &q)
{
    TField *text = q.Active() && !q.IsEmpty() ? q.FindField("MESSAGE") : nullptr;
    if (text)
        Memo2->setPlainText(QString::fromStdString(text->AsString()));
}

bool TClientPages::AddNote()
{
    if (!ADOQuery1.Active())
        return true;
    try {
        ado::OperatorWait wait(desk::Db().Database1);
        ADOQuery1.Append();
        ADOQuery1.FieldByName("CLIENTID")->SetAsString(key_.toStdString());
        ADOQuery1.FieldByName("datetime")->SetAsDateTime(QDateTime::currentDateTime());
        ADOQuery1.FieldByName("session")->SetAsString(Memo1->toPlainText().toStdString());
        ADOQuery1.Post();
    } catch (const std::exception &e) {
        ADOQuery1.Cancel(); // Memo1 keeps the text for another try
        boxes::showError(e);
        return false;
    }
    Memo1->clear();
    return true;
}

bool TClientPages::Pending(Part part) const
{
    switch (part) {
    case Part::Photo: return ADOQuery5.Modified();
    case Part::Details: return ADOQuery4.Modified();
    case Part::Notes: return ADOQuery1.Active() && (ADOQuery1.Modified() || !Memo1->toPlainText().trimmed().isEmpty());
    }
    return false;
}

bool TClientPages::Store(Part part)
{
    if (!Pending(part))
        return true;
    switch (part) {
    case Part::Photo: return DBNavigator1->Click(Button::Post);
    case Part::Details: return DBNavigator3->Click(Button::Post);
    case Part::Notes:
        if (ADOQuery1.Modified() && !DBNavigator2->Click(Button::Post))
            return false;
        return Memo1->toPlainText().trimmed().isEmpty() || AddNote();
    }
    return true;
}

void TClientPages::Drop(Part part)
{
    switch (part) {
    case Part::Photo: ADOQuery5.Cancel(); break;
    case Part::Details: ADOQuery4.Cancel(); break;
    case Part::Notes:
        ADOQuery1.Cancel();
        Memo1->clear();
        break;
    }
}

void TClientPages::ScrollBar1Change()
{
    DBImage1->SetDataField(QStringLiteral("photo%1").arg(ScrollBar1->value() + 1));
}

void TClientPages::N1Click()
{
    if (!ADOQuery5.Active())
        return;
    if (ADOQuery5.State() == TDataSetState::dsBrowse)
        ADOQuery5.Edit();
    QString path;
    if (boxes::openPicture(dialog_, QStringLiteral("打开"), PictureFilter, path))
        DBImage1->LoadFromFile(path);
}
