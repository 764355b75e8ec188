#include "desk/Memo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <limits>

TMemo::TMemo(QWidget *parent) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

qsizetype TMemo::room() const
{
    if (MaxLength <= 0)
        return std::numeric_limits<qsizetype>::max();
    const qsizetype kept = toPlainText().size() - textCursor().selectedText().size();
    return std::max<qsizetype>(0, MaxLength - kept);
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool inserts = !typed.isEmpty() && !command &&
                         (typed.at(0).isPrint() || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
    if (inserts && typed.size() > room()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TMemo::inputMethodEvent(QInputMethodEvent *event)
{
    const qsizetype fits = room();
    if (event->commitString().size() <= fits) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(event->commitString().left(fits), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
}

void TMemo::insertFromMimeData(const QMimeData *source)
{
    if (MaxLength <= 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    insertPlainText(source->text().left(room()));
}
