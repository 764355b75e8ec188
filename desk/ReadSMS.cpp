#include "desk/ReadSMS.h"

#include "desk/Memo.h"
#include "desk/Outbox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmReadSMS *frmReadSMS = nullptr;

namespace {

const QString Reply = QStringLiteral("回复");
const QString Send = QStringLiteral("发送");

template <class W> W *named(W *widget, const char *name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

TfrmReadSMS::TfrmReadSMS(QWidget *parent)
    : QDialog(parent), Label3(named(new QLabel(QStringLiteral("姓名"), this), "Label3")),
      edit3(named(new QLineEdit(this), "edit3")), Label1(named(new QLabel(QStringLiteral("手机号"), this), "Label1")),
      Edit1(named(new QLineEdit(this), "Edit1")), Label2(named(new QLabel(QStringLiteral("短信内容"), this), "Label2")),
      edit2(named(new TMemo(this), "edit2")), Button3(named(new QPushButton(Reply, this), "Button3")),
      Button2(named(new QPushButton(QStringLiteral("取消"), this), "Button2")), previous_(frmReadSMS)
{
    frmReadSMS = this;
    setObjectName("frmReadSMS");
    setWindowTitle(QStringLiteral("阅读短信"));
    edit3->setReadOnly(true);
    edit3->setEnabled(false);
    edit2->MaxLength = 140;
    edit2->setMinimumSize(300, 120);
    for (QPushButton *b : {Button3, Button2})
        b->setAutoDefault(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(edit3, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Label2, 2, 0, Qt::AlignTop);
    grid->addWidget(edit2, 2, 1);
    grid->setRowStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button3);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

TfrmReadSMS::TfrmReadSMS(const QString &name, const QString &phone, const QString &text, QWidget *parent)
    : TfrmReadSMS(parent)
{
    edit3->setText(name);
    Edit1->setText(phone);
    edit2->setPlainText(text);
}

TfrmReadSMS::~TfrmReadSMS()
{
    if (frmReadSMS == this)
        frmReadSMS = previous_;
}

void TfrmReadSMS::Button3Click()
{
    setWindowTitle(QStringLiteral("回复短信"));
    if (Button3->text() == Reply) {
        edit2->setPlainText(QStringLiteral("[Re:") + edit2->toPlainText() + u']');
        Button3->setText(Send);
        return;
    }
    const QString text = edit2->toPlainText();
    if (!outbox::ready(text, Edit1->text()))
        return;
    outbox::queue(Edit1->text(), {text.toStdString()});
    done(Accepted);
}

void TfrmReadSMS::Button2Click() { reject(); }
