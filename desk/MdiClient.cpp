#include "desk/MdiClient.h"

#include <QPainter>

TMdiClient::TMdiClient(QPixmap tile, std::function<QSize()> clientSize, QWidget *parent)
    : QMdiArea(parent), tile_(std::move(tile)), clientSize_(std::move(clientSize))
{
}

void TMdiClient::paintEvent(QPaintEvent *event)
{
    QMdiArea::paintEvent(event);
    const int w = tile_.width();
    const int h = tile_.height();
    const QSize client = clientSize_();
    QPainter p(viewport());
    // The divisor is the tile size plus one, as the window has always drawn it.
    for (int r = 0; r <= client.height() / (h + 1); ++r)
        for (int c = 0; c <= client.width() / (w + 1); ++c)
            p.drawPixmap(c * w, r * h, tile_);
}
