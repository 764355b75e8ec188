#include "desk/Startup.h"
#include "platform/ui/Application.h"

#include <sys/stat.h>

// smsdesk: the messaging desk. Takes no arguments; its files live in the
// current directory.
int main(int argc, char **argv)
{
    // Messages, contacts and the modem's settings are the operator's alone:
    // every file the desk makes is readable by its owner only.
    ::umask(077);
    Application app(argc, argv);
    if (!desk::findWorkFolder())
        return 1;
    // Its end, after the message loop, is the program's shut-down.
    desk::TDeskProcess process;
    if (!process.Start())
        return 0;
    return app.exec();
}
