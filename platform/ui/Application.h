#pragma once

#include <QApplication>

// The application object of the desk and of the test programs. An exception
// that leaves an event handler (a failed statement, a file that cannot be
// opened) ends that event only: it is shown in the error box and the
// program runs on, as the operators expect of the desk. Qt's own texts (the
// standard buttons of the boxes: "确定", "取消") are Chinese whatever the
// machine's locale, from Qt's Chinese translation when it is installed; so
// are month and day names (the default locale is Chinese, China). Sorting
// still follows the machine's locale.
class Application : public QApplication {
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
