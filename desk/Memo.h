#pragma once

#include <QPlainTextEdit>

// A multi-line text box whose typing stops at MaxLength characters (UTF-16
// units; 0: no limit), as a memo's typing limit does: a typed character that
// does not fit is refused, pasted or composed text is cut to what fits.
// Text the program sets (setPlainText) is never cut. Tab moves the focus.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget *parent = nullptr);

    int MaxLength = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // Characters that may still be typed in place of the selection.
    qsizetype room() const;
};
