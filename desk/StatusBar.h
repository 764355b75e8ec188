#pragma once

#include <QStatusBar>
#include <vector>

class QLabel;

// A status bar of fixed-width text panels; the last panel also takes the
// room that is left, so a long report stays readable.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int> &widths, QWidget *parent = nullptr);

    int PanelCount() const { return int(panels_.size()); }
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);

private:
    std::vector<QLabel *> panels_;
};
