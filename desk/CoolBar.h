#pragma once

#include <QFrame>
#include <QStyle>
#include <map>

class QAction;
class QToolBar;
class QToolButton;

// The tool strip across the top of the management windows: three tool bars
// in the order ToolBar1, ToolBar3, ToolBar2 and the speed buttons on them.
//   ToolBar1: SpeedButton1 "操作(&A)", SpeedButton2 "查看(&V)"
//   ToolBar3: SpeedButton12 New, SpeedButton10 Edit, SpeedButton11 Delete
//             (Edit and Delete disabled)
//   ToolBar2: SpeedButton3 tree, SpeedButton4 "R", the separator ToolButton2,
//             SpeedButton5..SpeedButton9 view styles and help
// Glyph buttons carry no caption and are flat. No button is connected here.
class TCoolBar : public QFrame {
    Q_OBJECT
public:
    explicit TCoolBar(QWidget *parent = nullptr);

    QToolButton *SpeedButton(int number) const;
    // Adds one more flat button to a tool bar (a window's own extra buttons).
    QToolButton *AddButton(QToolBar *bar, int number, const QString &caption, QStyle::StandardPixmap glyph,
                           const QString &hint = {});
    // Takes a button off its tool bar (a window without it); SpeedButton
    // then gives null for it.
    void RemoveButton(int number);

    QToolBar *ToolBar1;
    QToolBar *ToolBar3;
    QToolBar *ToolBar2;
    QAction *ToolButton2; // the separator of ToolBar2

private:
    std::map<int, QToolButton *> buttons_;
};
