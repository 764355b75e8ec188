#include "desk/CoolBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

TCoolBar::TCoolBar(QWidget *parent)
    : QFrame(parent), ToolBar1(new QToolBar(this)), ToolBar3(new QToolBar(this)), ToolBar2(new QToolBar(this)),
      ToolButton2(nullptr)
{
    setObjectName("CoolBar1");
    setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(6);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar3->setObjectName("ToolBar3");
    ToolBar2->setObjectName("ToolBar2");
    for (QToolBar *bar : {ToolBar1, ToolBar3, ToolBar2}) {
        bar->setIconSize(QSize(16, 16));
        bar->setMovable(false);
        row->addWidget(bar);
    }
    row->addStretch(1);

    AddButton(ToolBar1, 1, QStringLiteral("操作(&A)"), QStyle::SP_CustomBase);
    AddButton(ToolBar1, 2, QStringLiteral("查看(&V)"), QStyle::SP_CustomBase);
    AddButton(ToolBar3, 12, {}, QStyle::SP_FileIcon, QStringLiteral("新增"));
    AddButton(ToolBar3, 10, {}, QStyle::SP_FileDialogContentsView, QStringLiteral("编辑"))->setEnabled(false);
    AddButton(ToolBar3, 11, {}, QStyle::SP_TrashIcon, QStringLiteral("删除"))->setEnabled(false);
    AddButton(ToolBar2, 3, {}, QStyle::SP_DirIcon, QStringLiteral("切换显示"));
    AddButton(ToolBar2, 4, QStringLiteral("R"), QStyle::SP_CustomBase, QStringLiteral("刷新"));
    ToolButton2 = ToolBar2->addSeparator();
    ToolButton2->setObjectName("ToolButton2");
    AddButton(ToolBar2, 5, {}, QStyle::SP_FileDialogDetailedView, QStringLiteral("报表显示"));
    AddButton(ToolBar2, 6, {}, QStyle::SP_FileDialogListView, QStringLiteral("列表显示"));
    AddButton(ToolBar2, 7, {}, QStyle::SP_DesktopIcon, QStringLiteral("大图标显示"));
    AddButton(ToolBar2, 8, {}, QStyle::SP_FileDialogInfoView, QStringLiteral("小图标显示"));
    AddButton(ToolBar2, 9, {}, QStyle::SP_TitleBarContextHelpButton, QStringLiteral("帮助"));
}

QToolButton *TCoolBar::SpeedButton(int number) const
{
    auto it = buttons_.find(number);
    return it == buttons_.end() ? nullptr : it->second;
}

QToolButton *TCoolBar::AddButton(QToolBar *bar, int number, const QString &caption, QStyle::StandardPixmap glyph,
                                 const QString &hint)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    if (glyph != QStyle::SP_CustomBase)
        b->setIcon(QApplication::style()->standardIcon(glyph));
    if (!caption.isEmpty()) {
        b->setText(caption);
        b->setToolButtonStyle(glyph == QStyle::SP_CustomBase ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    } else {
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    b->setToolTip(hint);
    bar->addWidget(b);
    buttons_[number] = b;
    return b;
}

void TCoolBar::RemoveButton(int number)
{
    auto it = buttons_.find(number);
    if (it == buttons_.end())
        return;
    delete it->second;
    buttons_.erase(it);
}
