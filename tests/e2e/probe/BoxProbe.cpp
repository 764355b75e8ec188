// Preloaded into the real program by the end-to-end tests (LD_PRELOAD): as
// each dialog is shown, appends its title and the texts of its buttons, one
// line each ("title\tbutton\tbutton"), to the file SMS_BOX_PROBE names; as
// each widget takes the keyboard focus, appends "parent/name\tx\ty" to the
// file SMS_FOCUS_PROBE names: the screen point of the centre of its first
// cell (a view of rows) or of the widget, where a test can click it. Without
// those variables it does nothing.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>

namespace {

class BoxProbe : public QObject {
public:
    BoxProbe(QString path, QString focusPath, QObject *parent)
        : QObject(parent), path_(std::move(path)), focusPath_(std::move(focusPath))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !path_.isEmpty())
            if (auto *dialog = qobject_cast<QDialog *>(watched))
                record(dialog);
        if (event->type() == QEvent::FocusIn && !focusPath_.isEmpty())
            if (auto *widget = qobject_cast<QWidget *>(watched))
                recordFocus(widget);
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

    void recordFocus(QWidget *widget)
    {
        QPoint at = widget->rect().center();
        QWidget *area = widget;
        if (auto *view = qobject_cast<QAbstractItemView *>(widget);
            view && view->model() && view->model()->rowCount()) {
            area = view->viewport();
            at = view->visualRect(view->model()->index(0, 0)).center();
        }
        at = area->mapToGlobal(at);
        const QString parent = widget->parentWidget() ? widget->parentWidget()->objectName() : QString();
        const QString line = parent + u'/' + widget->objectName() + u'\t' + QString::number(at.x()) + u'\t' +
                             QString::number(at.y()) + u'\n';
        QFile file(focusPath_);
        if (file.open(QIODevice::Append))
            file.write(line.toUtf8());
    }

    QString path_;
    QString focusPath_;
};

void installProbe()
{
    const QString path = qEnvironmentVariable("SMS_BOX_PROBE");
    const QString focusPath = qEnvironmentVariable("SMS_FOCUS_PROBE");
    if (!path.isEmpty() || !focusPath.isEmpty())
        qApp->installEventFilter(new BoxProbe(path, focusPath, qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
