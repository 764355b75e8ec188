#include "desk/BusinessCard.h"

#include <QEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr int Width = 360;
constexpr int Height = 210;

QPixmap background()
{
    QPixmap pm(Width, Height);
    QPainter p(&pm);
    QLinearGradient paper(0, 0, Width, Height);
    paper.setColorAt(0, QColor(255, 253, 240));
    paper.setColorAt(1, QColor(236, 232, 214));
    p.fillRect(pm.rect(), paper);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(0, 0, Width, 6);
    p.setBrush(QColor(0, 128, 128, 60));
    p.drawEllipse(QPointF(Width - 30, Height - 20), 90, 60);
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.drawLine(14, 34, Width - 14, 34);
    return pm;
}

QLabel *text(QWidget *parent, const char *name, const QRect &at)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(at);
    return l;
}

} // namespace

TBusinessCard::TBusinessCard(QWidget *parent) : QFrame(parent), Image1(new QLabel(this))
{
    setObjectName("Shape1");
    setFrameShape(QFrame::Box);
    setFixedSize(Width + 2 * frameWidth(), Height + 2 * frameWidth());
    Image1->setObjectName("Image1");
    Image1->setGeometry(frameWidth(), frameWidth(), Width, Height);
    Image1->setPixmap(background());

    BtCompany = text(Image1, "BtCompany", {14, 10, Width - 28, 22});
    BtCompany->setToolTip(QStringLiteral("公司名称"));
    QFont company = BtCompany->font();
    company.setBold(true);
    BtCompany->setFont(company);

    btclientid = text(Image1, "btclientid", {64, 40, Width - 78, 40});
    QFont script = btclientid->font();
    script.setFamilies({QStringLiteral("华文行楷"), QStringLiteral("KaiTi"), QStringLiteral("AR PL UKai CN")});
    script.setItalic(true);
    script.setPointSize(20);
    btclientid->setFont(script);
    btclientid->setStyleSheet(QStringLiteral("color: blue"));
    captions_[btclientid] = text(Image1, "LabelName", {14, 50, 48, 20});
    captions_[btclientid]->setText(QStringLiteral("姓 名:"));

    const struct {
        QLabel *TBusinessCard::*value;
        const char *name;
        const char *caption;
        int column, row;
    } lines[] = {{&TBusinessCard::btheadship, "btheadship", "职 务:", 0, 0},
                 {&TBusinessCard::btMobile, "btMobile", "手 机:", 1, 0},
                 {&TBusinessCard::btphone, "btphone", "电 话:", 0, 1},
                 {&TBusinessCard::btFax, "btFax", "传 真:", 1, 1},
                 {&TBusinessCard::btpostcode, "btpostcode", "邮 编:", 0, 2},
                 {&TBusinessCard::btemail, "btemail", "邮 件:", 1, 2},
                 {&TBusinessCard::btaddr, "btaddr", "地 址:", 0, 3}};
    const int half = (Width - 28) / 2;
    for (const auto &line : lines) {
        const int x = 14 + line.column * half;
        const int y = 96 + line.row * 26;
        const int width = line.row == 3 ? Width - 28 : half;
        QLabel *value = (this->*line.value = text(Image1, line.name, {x + 48, y, width - 50, 20}));
        QLabel *caption = text(Image1, "", {x, y, 46, 20});
        caption->setText(QString::fromUtf8(line.caption));
        captions_[value] = caption;
    }
}

void TBusinessCard::Bind(QLabel *value, QWidget *box)
{
    for (QObject *clickable : {static_cast<QObject *>(value), static_cast<QObject *>(CaptionOf(value))}) {
        if (!clickable)
            continue;
        targets_[clickable] = box;
        clickable->installEventFilter(this);
    }
}

QLabel *TBusinessCard::CaptionOf(const QLabel *value) const
{
    auto it = captions_.find(value);
    return it == captions_.end() ? nullptr : it->second;
}

bool TBusinessCard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        if (auto it = targets_.find(watched); it != targets_.end()) {
            it->second->setFocus(Qt::MouseFocusReason);
            return true;
        }
    return QFrame::eventFilter(watched, event);
}
