#include "desk/Startup.h"
#include "platform/ui/Application.h"

// smsdesk: the messaging desk. Takes no arguments; its files live in the
// current directory.
int main(int argc, char **argv)
{
    Application app(argc, argv);
    if (!desk::findWorkFolder())
        return 1;
    if (!desk::startDesk())
        return 0;
    const int rc = app.exec();
    desk::shutDesk();
    return rc;
}
