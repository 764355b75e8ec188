#include "desk/StatusBar.h"

#include <QLabel>

TStatusBar::TStatusBar(const std::vector<int> &widths, QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (size_t i = 0; i < widths.size(); ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        const bool last = i + 1 == widths.size();
        if (last)
            panel->setMinimumWidth(widths[i]);
        else
            panel->setFixedWidth(widths[i]);
        addWidget(panel, last ? 1 : 0);
        panels_.push_back(panel);
    }
}

QString TStatusBar::PanelText(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[index]->text() : QString();
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    if (index >= 0 && index < PanelCount())
        panels_[index]->setText(text);
}
