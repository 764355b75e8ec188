// Preloaded into the real program by the end-to-end tests (LD_PRELOAD): as
// each dialog is shown, appends its title and the texts of its buttons, one
// line each ("title\tbutton\tbutton"), to the file SMS_BOX_PROBE names; as
// each widget takes the keyboard focus, appends "parent/name\tx\ty" to the
// file SMS_FOCUS_PROBE names: the screen point of the centre of its first
// cell (a view of rows) or of the widget, where a test can click it; every
// 200 ms, rewrites the file SMS_SPOT_PROBE names with where the visible
// lists, trees, buttons and windows are on the screen, one line each,
// "kind\tpath\ttext\tx\ty\twidth\theight" in screen coordinates: kind
// "view" (a list's or tree's viewport, text empty), "item" (a row or node,
// by its first column's text), "button" (the part of it that is not
// scrolled or clipped away; none when nothing is), "popup" (a widget with
// a right-click menu of its own that is not a view) or "window" (a
// top-level window by its title, frame included); path the object names of
// the widget and its named ancestors, joined by "/". Without those
// variables it does nothing.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QSaveFile>
#include <QTimer>
#include <functional>

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

QString pathOf(const QWidget *w)
{
    QString path;
    for (const QObject *o = w; o; o = o->parent())
        if (!o->objectName().isEmpty())
            path = path.isEmpty() ? o->objectName() : o->objectName() + u'/' + path;
    return path;
}

QString spot(const char *kind, const QString &path, const QString &text, const QWidget *on, QRect r)
{
    const QPoint at = on->mapToGlobal(r.topLeft());
    QString clean = text;
    clean.replace(u'\t', u' ').replace(u'\n', u' ');
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
        .arg(QLatin1String(kind), path, clean)
        .arg(at.x())
        .arg(at.y())
        .arg(r.width())
        .arg(r.height());
}

void writeSpots(const QString &file)
{
    QString out;
    for (QWidget *w : QApplication::allWidgets()) {
        if (!w->isVisible())
            continue;
        if (w->isWindow() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)) {
            const QRect frame = w->frameGeometry();
            out += spot("window", pathOf(w), w->windowTitle(), w, frame.translated(-w->geometry().topLeft()));
        }
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (const QRect shown = w->visibleRegion().boundingRect(); !shown.isEmpty())
                out += spot("button", pathOf(w), button->text(), w, shown);
        } else if (w->contextMenuPolicy() == Qt::CustomContextMenu && !qobject_cast<QAbstractItemView *>(w)) {
            out += spot("popup", pathOf(w), {}, w, w->rect());
        } else if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model()) {
            const QString path = pathOf(view);
            QWidget *port = view->viewport();
            out += spot("view", path, {}, port, port->rect());
            std::function<void(const QModelIndex &)> items = [&](const QModelIndex &parent) {
                for (int row = 0; row < view->model()->rowCount(parent); ++row) {
                    const QModelIndex i = view->model()->index(row, 0, parent);
                    const QRect r = view->visualRect(i);
                    if (r.isEmpty() || !port->rect().intersects(r))
                        continue;
                    out += spot("item", path, i.data().toString(), port, r & port->rect());
                    items(i);
                }
            };
            items({});
        }
    }
    QSaveFile save(file);
    if (save.open(QIODevice::WriteOnly)) {
        save.write(out.toUtf8());
        save.commit();
    }
}

void installProbe()
{
    const QString path = qEnvironmentVariable("SMS_BOX_PROBE");
    const QString focusPath = qEnvironmentVariable("SMS_FOCUS_PROBE");
    if (!path.isEmpty() || !focusPath.isEmpty())
        qApp->installEventFilter(new BoxProbe(path, focusPath, qApp));
    const QString spots = qEnvironmentVariable("SMS_SPOT_PROBE");
    if (!spots.isEmpty() && qobject_cast<QApplication *>(qApp)) {
        auto *timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, qApp, [spots] { writeSpots(spots); });
        timer->start(200);
    }
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
