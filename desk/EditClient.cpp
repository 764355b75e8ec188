#include "desk/EditClient.h"

#include "data/DM1.h"
#include "desk/BusinessCard.h"
#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

TfrmEditClient *frmEditClient = nullptr;

using desk::fieldText;

namespace {

const QString UpdateFailure = QStringLiteral("记录更新失败,请检查联系人名称是否重复!");

TEditRecordDialog::Settings settings()
{
    TEditRecordDialog::Settings s{QStringLiteral("编辑联系人"), "client", "CLIENTID", UpdateFailure};
    s.unmodifiedWrites = false;
    return s;
}

} // namespace

TfrmEditClient::TfrmEditClient(TManagerFrame *manager, TListView *contacts, QWidget *parent)
    : TEditRecordDialog(settings(), manager, contacts, parent), TClientPages(this),
      TClientBoxes(this, TClientDialog::Editor), Card(new TBusinessCard(this)),
      CheckListBox1(desk::checkList(this, "CheckListBox1")), PageControl1(new QTabWidget(this))
{
    setObjectName("frmEditClient");
    frmEditClient = this;
    PageControl1->setObjectName("PageControl1");
    PageControl1->addTab(personalPage(), QStringLiteral("个人信息"));
    PageControl1->addTab(TabSheet2, QStringLiteral("事务记录"));
    PageControl1->addTab(TabSheet3, QStringLiteral("通信记录"));
    PageControl1->addTab(TabSheet4, QStringLiteral("其他"));
    PageControl1->setMinimumSize(660, 330);

    // The card, the groups and the pages scroll on a small screen; the
    // buttons stay below them.
    auto *contents = new QWidget(this);
    auto *groups = new QGroupBox(QStringLiteral("隶属组"), contents);
    (new QVBoxLayout(groups))->addWidget(CheckListBox1);
    auto *top = new QHBoxLayout;
    top->addWidget(Card);
    top->addWidget(groups, 1);
    auto *inside = new QVBoxLayout(contents);
    inside->setContentsMargins(0, 0, 0, 0);
    inside->addLayout(top);
    inside->addWidget(PageControl1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto *column = new QVBoxLayout(this);
    column->addWidget(desk::scrollingPanel(this, contents), 1);
    column->addLayout(buttons);
    // The fields of every page, the groups and the page tabs; then the buttons.
    desk::setTabChain({Edit1,     Edit3,     EditPhone,     EditLanID,    EditCompany, EditHeadShip, EditEmail,
                       EditFax,   EditAddr,  EditPostCode,  EditHomePage, RBMale,      RBFemale,     TabSheet2,
                       TabSheet3, TabSheet4, CheckListBox1, PageControl1, OkButton,    CancelButton});

    const std::pair<QLabel *, QLineEdit *> mirrored[] = {
        {Card->btclientid, Edit1},      {Card->btMobile, Edit3},          {Card->btphone, EditPhone},
        {Card->BtCompany, EditCompany}, {Card->btheadship, EditHeadShip}, {Card->btemail, EditEmail},
        {Card->btFax, EditFax},         {Card->btaddr, EditAddr},         {Card->btpostcode, EditPostCode}};
    for (const auto &[value, box] : mirrored)
        Card->Bind(value, box);
    for (QLineEdit *e : {Edit1, Edit3, EditPhone, EditCompany, EditHeadShip, EditEmail, EditFax, EditAddr, EditPostCode,
                         EditHomePage, EditLanID})
        connect(e, &QLineEdit::textChanged, this, [this] {
            refreshCard();
            Modified = true;
        });
    for (QRadioButton *b : {RBMale, RBFemale})
        connect(b, &QRadioButton::clicked, this, [this] { Modified = true; });
    // Every date a birthday column can hold, the zero date among them.
    DateTimePicker1->setMinimumDate(QDate(100, 1, 1));
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] { Modified = true; });
    Label25->installEventFilter(this);

    Links = {{CheckListBox1, {}, {}, "client_cgroup", "GROUPNAME", "CLIENTID"}};
    FormCreate();
    // Only "个人信息", the groups and the birthday make the editor modified;
    // the other pages store through their own buttons.
    for (QWidget *page : {TabSheet2, TabSheet3, TabSheet4})
        for (QWidget *w : page->findChildren<QWidget *>())
            if (w != Label25)
                w->removeEventFilter(this);
}

TfrmEditClient::~TfrmEditClient()
{
    if (frmEditClient == this)
        frmEditClient = nullptr;
}

QWidget *TfrmEditClient::personalPage()
{
    auto *page = new QWidget(this);
    page->setObjectName("TabSheet1");
    auto *sex = new QHBoxLayout;
    sex->addWidget(RBMale);
    sex->addWidget(RBFemale);
    sex->addStretch(1);
    auto *grid = new QGridLayout(page);
    const struct {
        const char *label;
        QWidget *box;
        int row, column;
        bool wide;
    } rows[] = {{"姓名  ", Edit1, 0, 0, false},        {"手机号码", Edit3, 0, 2, false},
                {"电话", EditPhone, 1, 0, false},      {"电脑名", EditLanID, 1, 2, false},
                {"单位名称", EditCompany, 2, 0, true}, {"职务", EditHeadShip, 3, 0, false},
                {"电子邮件", EditEmail, 3, 2, false},  {"传真", EditFax, 4, 0, false},
                {"邮编", EditPostCode, 4, 2, false},   {"地址", EditAddr, 5, 0, true},
                {"网站", EditHomePage, 6, 0, false}};
    for (const auto &r : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.label), page), r.row, r.column);
        grid->addWidget(r.box, r.row, r.column + 1, 1, r.wide ? 3 : 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("性别"), page), 6, 2);
    grid->addLayout(sex, 6, 3);
    grid->setRowStretch(7, 1);
    return page;
}

void TfrmEditClient::refreshCard()
{
    Card->btclientid->setText(Edit1->text());
    Card->btMobile->setText(Edit3->text());
    Card->btphone->setText(EditPhone->text());
    Card->BtCompany->setText(EditCompany->text());
    Card->btheadship->setText(EditHeadShip->text());
    Card->btemail->setText(EditEmail->text());
    Card->btFax->setText(EditFax->text());
    Card->btaddr->setText(EditAddr->text());
    Card->btpostcode->setText(EditPostCode->text());
}

void TfrmEditClient::LoadFields(TAdoQuery &row)
{
    // A member key whose contact is gone: no page gets a row to write to.
    ghost_ = row.IsEmpty();
    if (!ghost_)
        OpenRows(Edit1->text());
    desk::readClientFields(row, *this);
    QDateTime birthday;
    try {
        birthday = row.FieldByName("birthday")->AsDateTime();
    } catch (const EDatabaseError &) {
        // Text that is no date: shown, and saved, as no birthday.
    }
    const bool zero = !birthday.isValid() || birthday.date() == ZeroDate();
    birthTime_ = zero ? QTime(0, 0) : birthday.time();
    DateTimePicker1->setDate(zero ? ZeroDate() : birthday.date());
    DateTimePicker1->setVisible(!zero);
}

void TfrmEditClient::SaveFields(TAdoQuery &row)
{
    // Edit on no row appends: the contact went after the check before OK.
    if (row.State() == TDataSetState::dsInsert)
        throw EDatabaseError(EDatabaseError::Worded, "联系人已不存在");
    desk::writeClientFields(row, *this);
    // Also while the picker is hidden: a zero stays zero.
    row.FieldByName("birthday")
        ->SetAsDateTime(BirthdayZero() ? QDateTime() : QDateTime(DateTimePicker1->date(), birthTime_));
}

void TfrmEditClient::LoadLinks(const QString &key)
{
    CheckListBox1->clear();
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from client_cgroup where clientid=" + desk::quoted(key));
    for (; !q.Eof(); q.Next())
        (new QListWidgetItem(fieldText(q, "GROUPNAME"), CheckListBox1))->setCheckState(Qt::Checked);
    desk::open(q, "select * from cgroup order by groupname");
    for (; !q.Eof(); q.Next()) {
        const QString group = fieldText(q, "GROUPNAME");
        bool listed = false;
        for (int i = 0; i < CheckListBox1->count() && !listed; ++i)
            listed = CheckListBox1->item(i)->text().compare(group, Qt::CaseInsensitive) == 0;
        if (!listed)
            (new QListWidgetItem(group, CheckListBox1))->setCheckState(Qt::Unchecked);
    }
    q.Close();
    if (!ghost_)
        OpenLists(key, Edit3->text());
}

bool TfrmEditClient::BeforeOk()
{
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from client where CLIENTID=" + desk::quoted(OriginalKey));
    const bool gone = q.IsEmpty();
    q.Close();
    if (gone) {
        boxes::showMessage(QStringLiteral("联系人“") + OriginalKey + QStringLiteral("”已不存在，不能保存"));
        done(Rejected);
        return false;
    }
    // Every check that can refuse comes before the pages' rows are stored,
    // so a refused "确定" leaves the database as it was.
    if (Modified && (!desk::mobileAccepted(Edit3->text()) || nameTaken()))
        return false;
    // Then the pages' rows: a failure keeps the editor open before the
    // contact's own row is written.
    for (Part part : {Part::Photo, Part::Details, Part::Notes})
        if (!Store(part))
            return false;
    if (Modified && Edit3->text().isEmpty())
        Edit3->setText(QStringLiteral(" "));
    return true;
}

bool TfrmEditClient::nameTaken()
{
    // Compared as the key column compares (letter case aside), so a change
    // of case alone is no other contact.
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from client where CLIENTID=" + desk::quoted(Edit1->text()) +
                                                     " and CLIENTID<>" + desk::quoted(OriginalKey));
    const bool taken = !q.IsEmpty();
    q.Close();
    if (taken)
        boxes::showMessage(UpdateFailure);
    return taken;
}

void TfrmEditClient::reject()
{
    const struct {
        Part part;
        const char *question;
        const char *caption;
    } asks[] = {
        {Part::Photo, "载入的照片还没有保存，要保存吗？", "保存照片"},
        {Part::Details, "“其他”页填写的资料还没有保存，要保存吗？", "保存资料"},
        {Part::Notes, "填写的事务记录还没有保存，要保存吗？", "保存事务记录"},
    };
    for (const auto &a : asks) {
        if (!Pending(a.part))
            continue;
        if (!boxes::confirm(this, QString::fromUtf8(a.question), QString::fromUtf8(a.caption)))
            Drop(a.part);
        else if (!Store(a.part))
            return; // told; the editor stays open with what was typed
    }
    TEditRecordDialog::reject();
}

void TfrmEditClient::Saved()
{
    if (!source_)
        return;
    for (int row = 0; row < source_->Count(); ++row)
        if (source_->Caption(row).compare(OriginalKey, Qt::CaseInsensitive) == 0) {
            source_->SetCaption(row, Edit1->text());
            return;
        }
}

bool TfrmEditClient::BirthdayZero() const { return DateTimePicker1->date() == ZeroDate(); }

void TfrmEditClient::Label25DblClick() { DateTimePicker1->show(); }

bool TfrmEditClient::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label25 && event->type() == QEvent::MouseButtonDblClick) {
        Label25DblClick();
        return true;
    }
    return TEditRecordDialog::eventFilter(watched, event);
}
