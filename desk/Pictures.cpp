#include "desk/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace pictures {

namespace {

// Colours of the 16-colour palette.
const QColor Teal(0, 128, 128);
const QColor Navy(0, 0, 128);
const QColor Aqua(0, 255, 255);
const QColor Silver(192, 192, 192);
const QColor White(255, 255, 255);
const QColor Olive(128, 128, 0);
const QColor Red(255, 0, 0);

QPixmap drawRecord(int index, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (index) {
    case 0:
    case 1: { // a person: head and shoulders
        const QColor c = index == 0 ? Navy : Red;
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QRectF(10, 3, 12, 12));
        p.drawRoundedRect(QRectF(5, 17, 22, 13), 6, 6);
        break;
    }
    case 2: // a member card
        p.setPen(QPen(Navy, 2));
        p.setBrush(Silver);
        p.drawRoundedRect(QRectF(3, 7, 26, 18), 3, 3);
        p.setBrush(Teal);
        p.drawEllipse(QRectF(7, 11, 8, 8));
        p.drawLine(QPointF(18, 13), QPointF(26, 13));
        p.drawLine(QPointF(18, 19), QPointF(24, 19));
        break;
    case 3: // a folder
        p.setPen(QPen(Olive, 1.5));
        p.setBrush(QColor(255, 255, 0));
        p.drawRect(QRectF(3, 9, 26, 18));
        p.drawRect(QRectF(3, 6, 11, 4));
        break;
    default: // a note
        p.setPen(QPen(Navy, 1.5));
        p.setBrush(White);
        p.drawRect(QRectF(7, 3, 18, 26));
        for (int y = 9; y <= 23; y += 5)
            p.drawLine(QPointF(10, y), QPointF(22, y));
        break;
    }
    return pm;
}

} // namespace

const QPixmap &BackgroundTile()
{
    static const QPixmap tile = [] {
        QPixmap pm(32, 32);
        pm.fill(Teal);
        QPainter p(&pm);
        // A diamond lattice: the tile's edges meet the next tile's.
        p.setPen(Aqua);
        p.drawLine(0, 16, 16, 0);
        p.drawLine(16, 0, 31, 15);
        p.drawLine(31, 16, 16, 31);
        p.drawLine(15, 31, 0, 16);
        p.setPen(Navy);
        p.drawPoint(16, 16);
        p.drawRect(14, 14, 4, 4);
        p.setPen(Silver);
        p.drawPoint(0, 0);
        return pm;
    }();
    return tile;
}

const QPixmap &Banner()
{
    static const QPixmap banner = [] {
        QPixmap pm(418, 86);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 418, 0);
        g.setColorAt(0, Navy);
        g.setColorAt(1, Teal);
        p.fillRect(pm.rect(), g);
        // A star over waves: the product's name.
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? 9 : 22;
            const double a = 3.14159265 / 5 * i - 3.14159265 / 2;
            const QPointF pt(48 + r * std::cos(a), 40 + r * std::sin(a));
            i ? star.lineTo(pt) : star.moveTo(pt);
        }
        star.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 0));
        p.drawPath(star);
        p.setPen(QPen(Aqua, 2));
        for (int y = 66; y <= 76; y += 5) {
            QPainterPath wave(QPointF(10, y));
            for (int x = 10; x < 408; x += 24)
                wave.quadTo(QPointF(x + 6, y - 4), QPointF(x + 12, y)),
                    wave.quadTo(QPointF(x + 18, y + 4), QPointF(x + 24, y));
            p.setBrush(Qt::NoBrush);
            p.drawPath(wave);
        }
        QFont f;
        f.setPixelSize(34);
        f.setBold(true);
        p.setFont(f);
        p.setPen(White);
        p.drawText(QRect(84, 10, 320, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("澜星信使"));
        f.setPixelSize(12);
        f.setBold(false);
        p.setFont(f);
        p.setPen(Silver);
        p.drawText(QRect(260, 40, 150, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("短信收发管理 V1.1"));
        return pm;
    }();
    return banner;
}

QIcon recordImage(int index)
{
    QIcon icon;
    icon.addPixmap(drawRecord(index, 16));
    icon.addPixmap(drawRecord(index, 32));
    return icon;
}

} // namespace pictures
