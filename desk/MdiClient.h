#pragma once

#include <QMdiArea>
#include <QPixmap>
#include <functional>

// The main window's client area: the MDI area with the background tile
// painted over it. The tile is copied to rows 0 .. h div (H + 1) and columns
// 0 .. w div (W + 1), rows outer, at (c * W, r * H), where W x H is the
// tile's size and w x h the size that clientSize gives (the main window's
// client area); what those rows and columns leave uncovered keeps the
// area's own background.
class TMdiClient : public QMdiArea {
    Q_OBJECT
public:
    TMdiClient(QPixmap tile, std::function<QSize()> clientSize, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap tile_;
    std::function<QSize()> clientSize_;
};
