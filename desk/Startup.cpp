#include "desk/Startup.h"

#include "data/DM1.h"
#include "desk/Login.h"
#include "desk/about.h"
#include "desk/main.h"

#include "gateway/SMSMain.h"
#include "gateway/smsclasses.h"

#include <QApplication>
#include <QLineEdit>

namespace desk {

void connectEngine(TEngineLink &link)
{
    link.ClearDialNumber = [] { DialNumber.set(std::string()); };
    link.SendToGateway = [](const QString &phone, const QString &text) {
        FMain->MaskEdit1->setText(phone);
        FMain->Edit2->setText(text);
        FMain->Button3Click();
    };
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

    // The gateway window starts the engine on its first activation.
    new TFMain;
    connectEngine(main->Engine);
    FMain->show();
    FMain->activateWindow();
    // Without a window manager the window may never be activated; a second
    // activation does nothing, so this is safe either way.
    FMain->FormActivate();

    frmAbout = new TfrmAbout; // hidden until "关于"
    main->show();
    // Its first activation opens the contacts window, also where no window
    // manager activates a window that is shown.
    main->activateWindow();
    return true;
}

void shutDesk()
{
    // The drive thread stops first: while it is joined, port deliveries are
    // still served and a message taken in still needs the data module.
    engineEnd();
    delete MainFrm;
    delete frmAbout;
    frmAbout = nullptr;
    delete frmLogin;
    frmLogin = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
}

} // namespace desk
