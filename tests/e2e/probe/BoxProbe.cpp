// Preloaded into the real program by the end-to-end tests (LD_PRELOAD): as
// each dialog is shown, appends its title and the texts of its buttons, one
// line each ("title\tbutton\tbutton"), to the file SMS_BOX_PROBE names.
// Without that variable it does nothing.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>

namespace {

class BoxProbe : public QObject {
public:
    BoxProbe(QString path, QObject *parent) : QObject(parent), path_(std::move(path)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *dialog = qobject_cast<QDialog *>(watched))
                record(dialog);
        return false;
    }

private:
    void record(QDialog *dialog)
    {
        QString line = dialog->windowTitle();
        for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
            line += u'\t' + b->text();
        QFile file(path_);
        if (file.open(QIODevice::Append))
            file.write((line + u'\n').toUtf8());
    }

    QString path_;
};

void installProbe()
{
    const QString path = qEnvironmentVariable("SMS_BOX_PROBE");
    if (!path.isEmpty())
        qApp->installEventFilter(new BoxProbe(path, qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
