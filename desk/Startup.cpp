#include "desk/Startup.h"

#include "data/DM1.h"
#include "desk/Login.h"
#include "desk/about.h"
#include "desk/main.h"

#include <QApplication>

namespace desk {

bool StartDesk()
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

    // GATEWAY INTEGRATION: create the gateway window FMain here and show it
    // (its first activation starts the engine), then fill MainFrm->Engine:
    //   ClearDialNumber: DialNumber cleared;
    //   SendToGateway:   FMain->MaskEdit1 / FMain->Edit2 set, FMain->Button3Click();
    //   SetClosing:      Gateway->Closing set;
    //   AllIdle:         every Gateway->Channels[1..8] empty or IsIdle().
    // The read/reply dialog frmReadSMS is created here, hidden, once the desk
    // has it.

    frmAbout = new TfrmAbout; // hidden until "关于"
    main->show();
    return true;
}

void ShutDesk()
{
    delete MainFrm;
    // GATEWAY INTEGRATION: free FMain here; it writes the queue files.
    delete frmAbout;
    frmAbout = nullptr;
    delete frmLogin;
    frmLogin = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
}

} // namespace desk
