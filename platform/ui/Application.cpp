#include "platform/ui/Application.h"

#include "platform/ui/Boxes.h"

#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        boxes::showError(QString::fromUtf8(e.what()));
    } catch (...) {
        boxes::showError(QStringLiteral("未知错误"));
    }
    return false;
}
