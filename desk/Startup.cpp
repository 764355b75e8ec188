#include "desk/Startup.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/Login.h"
#include "desk/ReadSMS.h"
#include "desk/about.h"
#include "desk/main.h"

#include "gateway/smsclasses.h"
#include "gateway/window/SMSMain.h"

#include "platform/ui/Boxes.h"
#include "platform/ui/Placement.h"

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
    const QString file = databaseFile();
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

namespace {

// Freed with delete, as made with new.
template <class T> typename TOwnedGlobal<T>::Owned owned(T *object)
{
    return {object, [](T *p) { delete p; }};
}

} // namespace

TDeskProcess::TDeskProcess()
    : words_(desk::errorText), data_(DataModule1), login_(frmLogin), about_(frmAbout), reply_(frmReadSMS),
      main_(MainFrm), host_(EngineHost), gateway_(FMain)
{
}

TDeskProcess::~TDeskProcess() = default;

bool TDeskProcess::Start()
{
    QCoreApplication::setApplicationName(QStringLiteral("澜星信使"));
    // Other windows stay open (the gateway window); the main window's close
    // is what ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TMainFrm *main = OpenMainWindow();
    if (!main)
        return false;
    QObject::connect(main, &TMainFrm::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    MakeLoginForm();
    OpenGateway();
    MakeReplyDialog();
    MakeAboutBox();
    main->show();
    // Its first activation opens the contacts window, also where no window
    // manager activates a window that is shown.
    main->activateWindow();
    return true;
}

TMainFrm *TDeskProcess::OpenMainWindow()
{
    TMainFrm *main = main_.Take(owned(new TMainFrm)); // runs the modal login
    if (!main->LoggedIn()) {
        main_.Reset();
        return nullptr;
    }
    // The login opened the data module and named it; it is the process's now.
    if (DataModule1 && DataModule1 != data_.get())
        data_.Take(owned(DataModule1));
    return main;
}

void TDeskProcess::MakeLoginForm() { login_.Take(owned(new TfrmLogin)); }

void TDeskProcess::OpenGateway()
{
    gateway_.Reset(); // a window never outlives its host
    // The host ends as the program's engine does (TEngineEnd).
    TEngineHost *host = host_.Take({new TEngineHost, [](TEngineHost *h) { TEngineEnd()(h); }});
    TFMain *window = gateway_.Take(owned(new TFMain(*host)));
    if (TMainFrm *main = main_.get()) {
        connectEngine(main->Engine);
        // The main window is shown after it and so stacked above it.
        placement::cascade(window, main);
    }
    window->show();
    window->activateWindow();
    // Without a window manager the window may never be activated; a second
    // activation does nothing, so this is safe either way.
    window->FormActivate();
}

void TDeskProcess::MakeReplyDialog() { reply_.Take(owned(new TfrmReadSMS)); }

void TDeskProcess::MakeAboutBox() { about_.Take(owned(new TfrmAbout)); }

} // namespace desk
