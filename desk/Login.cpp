#include "desk/Login.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/Pictures.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"
#include "platform/ui/Placement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

TfrmLogin *frmLogin = nullptr;

const QString TfrmLogin::WebAddress = QStringLiteral("https://lanxing.example.com/");

TfrmLogin::TfrmLogin(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), Image1(new QLabel(this)),
      Label1(new QLabel(QStringLiteral("账号"), this)), Label2(new QLabel(QStringLiteral("密码"), this)),
      Edit1(new QLineEdit(QStringLiteral("kelvo"), this)), Edit2(new QLineEdit(QStringLiteral("tobrun"), this)),
      Button1(new QPushButton(QStringLiteral("确认"), this)), Button2(new QPushButton(QStringLiteral("取消"), this))
{
    setObjectName("frmLogin");
    setWindowTitle(QStringLiteral("登录窗口                    ") + WebAddress);
    Image1->setObjectName("Image1");
    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    Edit1->setObjectName("Edit1");
    Edit2->setObjectName("Edit2");
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");

    Image1->setPixmap(pictures::Banner().scaled(360, 97));
    Image1->setFixedHeight(97);
    for (QLabel *l : {Label1, Label2})
        l->setStyleSheet(QStringLiteral("color: blue; font-weight: bold; font-size: 16px;"));
    Edit2->setEchoMode(QLineEdit::Password);
    for (QPushButton *b : {Button1, Button2})
        b->setAutoDefault(false); // Enter acts only in the password box

    auto *fields = new QGridLayout;
    fields->setContentsMargins(40, 8, 40, 8);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 8);
    column->addWidget(Image1);
    column->addLayout(fields);
    column->addLayout(buttons);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    setFixedSize(360, std::max(187, sizeHint().height()));
    placement::place(this, true);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Edit2, &QLineEdit::returnPressed, this, [this] { Button1Click(); });
}

void TfrmLogin::keyPressEvent(QKeyEvent *event)
{
    // No button of the dialog answers Escape.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

QString databaseFailureText(const EDatabaseError &error)
{
    const QFileInfo file(desk::databaseFile());
    const QString path = QDir::toNativeSeparators(file.absoluteFilePath());
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    const QString restore = QStringLiteral("请退出澜星信使，用这个文件的备份替换它，然后再登录。这个文件没有被改动。");
    auto allowed = [](const QString &name, int mode) { return ::access(QFile::encodeName(name), mode) == 0; };
    QString text;
    if (ado::isDamaged(error) || (ado::isNotADatabase(error) && file.exists() && file.size() == 0)) {
        text = QStringLiteral("数据库文件 %1 已损坏，不能读取。\n").arg(path) + restore;
    } else if (ado::isNotADatabase(error)) {
        text = (ado::isPlainDatabaseFile(file.absoluteFilePath().toStdString())
                    ? QStringLiteral("数据库文件 %1 是没有加密的 SQLite 数据库，不是澜星信使的数据库。\n")
                    : QStringLiteral("数据库文件 %1 不能用澜星信使的密码打开：它用别的密码加密，或者不是数据库。\n"))
                   .arg(path) +
               restore;
    } else if (ado::isBusy(error)) {
        text =
            QStringLiteral("%1（数据库文件 %2）。\n请等一会儿再登录。").arg(QString::fromUtf8(ado::LockedText), path);
    } else if (ado::isCannotOpen(error) && !file.exists()) {
        text = QStringLiteral("找不到数据库文件 %1。\n请把它的备份放回这个位置，或者在工作文件夹中启动澜星信使。")
                   .arg(path);
    } else if (ado::isCannotOpen(error) && !allowed(file.absoluteFilePath(), R_OK)) {
        text =
            QStringLiteral("数据库文件 %1 不能读取（没有权限）。\n请让运行澜星信使的用户可以读写这个文件，然后再登录。")
                .arg(path);
    } else if (ado::isCannotOpen(error) && !allowed(file.absolutePath(), W_OK | X_OK)) {
        text = QStringLiteral("数据库文件 %1 所在的文件夹 %2 不能写入，而澜星信使要在那里保存数据库的日志文件。\n"
                              "请让运行澜星信使的用户可以写这个文件夹，然后再登录。这个文件没有被改动。")
                   .arg(path, folder);
    } else if (const int writeError = allowed(file.absoluteFilePath(), W_OK) ? 0 : errno;
               ado::isCannotOpen(error) && (ado::isReadOnly(error) || writeError != 0)) {
        // The login goes no further: a desk on a file it cannot write would
        // lose every contact, message and task the operator enters.
        const QString keeps = QStringLiteral("\n澜星信使要在这个文件中保存联系人、短信和任务。");
        const QString unchanged = QStringLiteral("这个文件没有被改动。");
        if (writeError == EROFS)
            text = QStringLiteral("数据库文件 %1 不能写入：它在只读的磁盘或挂载上。").arg(path) + keeps +
                   QStringLiteral("请把工作文件夹复制到可以写入的地方，在那里启动澜星信使。") + unchanged;
        else
            text = QStringLiteral("数据库文件 %1 不能写入（没有权限）。").arg(path) + keeps +
                   QStringLiteral("请让运行澜星信使的用户可以读写这个文件，然后再登录。") + unchanged;
    } else {
        text = QStringLiteral("数据库文件 %1 不能使用。").arg(path);
    }
    return text + QStringLiteral("\n\n（SQLite：%1）").arg(QString::fromUtf8(error.what()));
}

void TfrmLogin::Button1Click()
{
    try {
        Attempt();
    } catch (const EDatabaseError &e) {
        boxes::inform(this, databaseFailureText(e), QStringLiteral("登录失败！"), boxes::Icon::Error);
    }
}

void TfrmLogin::Attempt()
{
    auto module = std::make_unique<TDataModule1>(); // opens the database; may throw
    TAdoQuery &q = module->Query1;
    desk::open(q, "select * from operater where WORKCODE=" + desk::quoted(Edit1->text()));
    if (q.IsEmpty()) {
        Edit1->clear();
        module.reset();
        boxes::inform(this, QStringLiteral("工号错误，请重新输入工号"), QStringLiteral("登录失败！"));
        return;
    }
    if (QString::fromStdString(q.FieldByName("PASSWORD")->AsString()) != Edit2->text()) {
        Edit2->clear();
        module.reset();
        boxes::inform(this, QStringLiteral("密码错误，请重新输入密码"), QStringLiteral("登录失败！"));
        return;
    }
    q.Close();
    DataModule1 = module.release(); // for the life of the process: desk::TDeskProcess takes it over
    MainFrm->WorkCode = Edit1->text();
    MainFrm->Timer1->start();
    MainFrm->Timer3->start();
    accept();
}

void TfrmLogin::Button2Click()
{
    Edit1->clear();
    Edit2->clear();
    reject();
}
