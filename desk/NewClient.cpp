#include "desk/NewClient.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "platform/ado/Ado.h"

#include <QCollator>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

TfrmNewClient *frmNewClient = nullptr;

using desk::recordEdit;
using desk::setField;

namespace {

const QString NoGroup = QStringLiteral("无");

void addSorted(QComboBox *box, const QString &text)
{
    QCollator order(QLocale::system());
    int at = 0;
    while (at < box->count() && order.compare(box->itemText(at), text) <= 0)
        ++at;
    box->insertItem(at, text);
}

} // namespace

TfrmNewClient::TfrmNewClient(QWidget *parent)
    : TNewRecordDialog({QStringLiteral("新联系人"), "client", "CLIENTID", QStringLiteral("增加联系人"),
                        QStringLiteral("新增记录失败,请检查联系人编号是否重复")},
                       parent),
      Edit2(new QPlainTextEdit(this)), Edit3(recordEdit(this, "Edit3")), Edit4(recordEdit(this, "Edit4")),
      EditPhone(recordEdit(this, "EditPhone")), ComboBox1(new QComboBox(this)),
      EditCompany(recordEdit(this, "EditCompany")), EditHeadShip(recordEdit(this, "EditHeadShip")),
      EditEmail(recordEdit(this, "EditEmail")), EditFax(recordEdit(this, "EditFax")),
      EditAddr(recordEdit(this, "EditAddr")), EditPostCode(recordEdit(this, "EditPostCode")),
      EditHomePage(recordEdit(this, "EditHomePage")), EditOICQ(recordEdit(this, "EditOICQ")),
      RBMale(new QRadioButton(QStringLiteral("男"), this)), RBFemale(new QRadioButton(QStringLiteral("女"), this))
{
    setObjectName("frmNewClient");
    frmNewClient = this;
    Edit2->setObjectName("Edit2");
    Edit2->hide();
    Edit4->hide();
    Edit3->setMaxLength(11);
    ComboBox1->setObjectName("ComboBox1");
    // Editable only so that the contacts window can preset a group's name;
    // the read-only line discards every typed character.
    ComboBox1->setEditable(true);
    ComboBox1->lineEdit()->setReadOnly(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    RBMale->setObjectName("RBMale");
    RBFemale->setObjectName("RBFemale");
    RBMale->setChecked(true);

    auto *sex = new QWidget(this);
    auto *sexRow = new QHBoxLayout(sex);
    sexRow->setContentsMargins(0, 0, 0, 0);
    sexRow->addWidget(RBMale);
    sexRow->addWidget(RBFemale);
    sexRow->addStretch(1);
    desk::layoutRecord(this,
                       {{QStringLiteral("联系人名称  "), Edit1},
                        {QStringLiteral("手机号码"), Edit3},
                        {QStringLiteral("电话:"), EditPhone},
                        {QStringLiteral("所  属  组"), ComboBox1},
                        {QStringLiteral("单位名称"), EditCompany},
                        {QStringLiteral("职务"), EditHeadShip},
                        {QStringLiteral("电子邮件"), EditEmail},
                        {QStringLiteral("传真"), EditFax},
                        {QStringLiteral("地址"), EditAddr},
                        {QStringLiteral("邮编"), EditPostCode},
                        {QStringLiteral("网站"), EditHomePage},
                        {QStringLiteral("OICQ"), EditOICQ},
                        {QStringLiteral("性别"), sex}},
                       {Button1, Button2});
    for (QLineEdit *e : {Edit1, Edit3, EditPhone, EditCompany, EditHeadShip, EditEmail, EditFax, EditAddr, EditPostCode,
                         EditHomePage, EditOICQ})
        e->installEventFilter(this);
    FormCreate();
}

TfrmNewClient::~TfrmNewClient()
{
    if (frmNewClient == this)
        frmNewClient = nullptr;
}

void TfrmNewClient::FormCreate()
{
    ComboBox1->clear();
    addSorted(ComboBox1, NoGroup);
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from cgroup");
    for (; !q.Eof(); q.Next())
        addSorted(ComboBox1, QString::fromStdString(q.FieldByName("GROUPNAME")->AsString()));
    q.Close();
    ComboBox1->setCurrentIndex(ComboBox1->findText(NoGroup));
}

bool TfrmNewClient::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return TNewRecordDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return TNewRecordDialog::eventFilter(watched, event);
    if (watched == Edit1)
        Edit3->setFocus();
    else if (watched == Edit3)
        EditPhone->setFocus();
    else if (Button1->isEnabled())
        Button1Click();
    return true;
}

bool TfrmNewClient::OwnCheck() { return desk::mobileAccepted(Edit3->text()); }

void TfrmNewClient::AssignFields(TAdoQuery &row)
{
    setField(row, "NAME", Edit2->toPlainText());
    setField(row, "CONTACT", Edit3->text().isEmpty() ? QStringLiteral(" ") : Edit3->text());
    setField(row, "PERSONID", Edit4->text());
    setField(row, "PHONE", EditPhone->text());
    setField(row, "COMPANY", EditCompany->text());
    setField(row, "HEADSHIP", EditHeadShip->text());
    setField(row, "EMAIL", EditEmail->text());
    setField(row, "FAX", EditFax->text());
    setField(row, "ADDR", EditAddr->text());
    setField(row, "POSTCODE", EditPostCode->text());
    setField(row, "HOMEPAGE", EditHomePage->text());
    setField(row, "OICQ", EditOICQ->text());
    setField(row, "Sex", RBMale->isChecked() ? QStringLiteral("男") : QStringLiteral("女"));
}

void TfrmNewClient::Insert()
{
    InsertRow();
    WriteOperLog();
    const QString group = ComboBox1->currentText();
    if (group == NoGroup)
        return;
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from client_cgroup");
    q.Append();
    setField(q, "GROUPNAME", group);
    setField(q, "CLIENTID", Edit1->text());
    q.Post();
    q.Close();
}

void TfrmNewClient::ClearFields()
{
    TNewRecordDialog::ClearFields();
    Edit1->setFocus();
}
