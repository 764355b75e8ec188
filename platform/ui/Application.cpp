#include "platform/ui/Application.h"

#include "platform/ui/Boxes.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    // Widgets take the default locale: the date pickers' calendars and long
    // dates would otherwise follow the machine's (English under C.UTF-8).
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        delete translator; // English buttons: Debian's qt6-translations-l10n is missing
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        boxes::showError(e);
    } catch (...) {
        boxes::showError(QStringLiteral("未知错误"));
    }
    return false;
}
