#include "desk/Startup.h"

#include "data/DM1.h"
#include "desk/Login.h"
#include "desk/ReadSMS.h"
#include "desk/about.h"
#include "desk/main.h"

#include "gateway/SMSMain.h"
#include "gateway/smsclasses.h"

#include "platform/ui/Boxes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace desk {

void connectEngine(TEngineLink &link)
{
    link.Dial = [](const std::string &number) { DialNumber.set(number); };
    link.ClearDialNumber = [] { DialNumber.set(std::string()); };
    link.ImportPhoneBook = [] { PhoneBookIndex.set(1); };
    link.SendToGateway = [](const QString &phone, const QString &text, const std::vector<std::string> &row) {
        return FMain->SendFromDesk(phone, text, row);
    };
    link.HandOverMarked = [](const std::vector<std::string> &row) {
        if (EngineHost)
            EngineHost->HandOverMarked(row);
    };
    link.TakeHandedOver = [] {
        return EngineHost ? EngineHost->TakeUnmarkedHandOvers() : std::vector<std::vector<std::string>>{};
    };
    link.LogLine = [](const QString &line) { engine::logLine(line.toStdString()); };
    link.SetClosing = [] {
        if (Gateway)
            Gateway->Closing = true;
    };
    link.AllIdle = [] {
        if (!Gateway)
            return true;
        for (int i = 1; i <= 8; ++i) {
            const auto &channel = Gateway->Channels[i];
            if (channel && !channel->IsIdle())
                return false;
        }
        return true;
    };
}

bool findWorkFolder()
{
    const QString file = QString::fromStdString(ado::parseConnectionString(TDataModule1::ConnectionString).dataSource);
    if (QFileInfo::exists(file))
        return true;
    const QString text = QStringLiteral("文件夹 %1 中没有数据库文件 %2，澜星信使需要在工作文件夹中启动。\n\n"
                                        "建立工作文件夹：dbcreate <文件夹>（在源码目录中是 "
                                        "build/tools/dbcreate/dbcreate work），它建立数据库和其他所需的文件，"
                                        "然后在该文件夹中启动 smsdesk；或者直接运行 tools/run.sh。")
                             .arg(QDir::toNativeSeparators(QDir::currentPath()), file);
    std::fprintf(stderr, "smsdesk: %s\n", text.toUtf8().constData());
    boxes::inform(nullptr, text, QStringLiteral("澜星信使"), boxes::Icon::Error);
    return false;
}

bool startDesk()
{
    QCoreApplication::setApplicationName(QStringLiteral("澜星信使"));
    // Other windows stay open (the gateway window); the main window's close
    // is what ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    auto *main = new TMainFrm; // runs the modal login
    if (!main->LoggedIn()) {
        delete main;
        return false;
    }
    QObject::connect(main, &TMainFrm::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    frmLogin = new TfrmLogin; // hidden: the owner of the rights-test box

    // The gateway window starts the engine host on its first activation.
    EngineHost = new TEngineHost;
    new TFMain(*EngineHost);
    connectEngine(main->Engine);
    FMain->show();
    FMain->activateWindow();
    // Without a window manager the window may never be activated; a second
    // activation does nothing, so this is safe either way.
    FMain->FormActivate();

    new TfrmReadSMS;          // hidden, never shown: frmReadSMS
    frmAbout = new TfrmAbout; // hidden until "关于"
    main->show();
    // Its first activation opens the contacts window, also where no window
    // manager activates a window that is shown.
    main->activateWindow();
    return true;
}

void shutDesk()
{
    // The engine goes first: while its drive thread is joined, port
    // deliveries are still served and a message taken in still needs the
    // data module.
    engineEnd();
    delete MainFrm;
    delete frmReadSMS;
    delete frmAbout;
    frmAbout = nullptr;
    delete frmLogin;
    frmLogin = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
}

} // namespace desk
