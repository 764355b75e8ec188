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
#include <QPushButton>
#include <QRadioButton>

TfrmNewClient *frmNewClient = nullptr;

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
      TClientBoxes(this, TClientDialog::NewContact), ComboBox1(new QComboBox(this))
{
    setObjectName("frmNewClient");
    frmNewClient = this;
    Edit3->setMaxLength(11);
    ComboBox1->setObjectName("ComboBox1");
    // Editable only so that the contacts window can preset a group's name;
    // the read-only line discards every typed character.
    ComboBox1->setEditable(true);
    ComboBox1->lineEdit()->setReadOnly(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
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

void TfrmNewClient::AssignFields(TAdoQuery &row) { desk::writeClientFields(row, *this); }

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
