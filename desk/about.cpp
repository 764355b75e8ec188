#include "desk/about.h"

#include "desk/Pictures.h"
#include "platform/ui/Placement.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

TfrmAbout *frmAbout = nullptr;

const QString TfrmAbout::WebAddress = QStringLiteral("https://lanxing.example.com/");

namespace {

UrlOpener &opener()
{
    static UrlOpener o = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    return o;
}

} // namespace

UrlOpener setUrlOpener(UrlOpener o)
{
    UrlOpener previous = std::move(opener());
    opener() = std::move(o);
    return previous;
}

void openLink(const QUrl &url)
{
    if (opener())
        opener()(url);
}

TfrmAbout::TfrmAbout(QWidget *parent)
    : QWidget(parent, Qt::Window), Image1(new QLabel(this)), Label2(new QLabel(WebAddress, this)),
      Label3(new QLabel(QStringLiteral("澜星信使 V1.1  短信收发管理系统"), this))
{
    setObjectName("frmAbout");
    setWindowTitle(QStringLiteral("关于澜星信使"));
    Image1->setObjectName("Image1");
    Label2->setObjectName("Label2");
    Label3->setObjectName("Label3");
    Image1->setPixmap(pictures::Banner().scaled(360, 73));
    Image1->setFixedHeight(73);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline; font-size: 24px;"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->installEventFilter(this);
    Label3->setStyleSheet(QStringLiteral("font-size: 11px;"));
    Label3->setAlignment(Qt::AlignCenter);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 8);
    column->addWidget(Image1);
    column->addStretch(1);
    column->addWidget(Label2);
    column->addWidget(Label3);
    setFixedSize(360, 177);
}

void TfrmAbout::Label2Click() { openLink(QUrl(Label2->text())); }

void TfrmAbout::showEvent(QShowEvent *event)
{
    placement::place(this, true);
    QWidget::showEvent(event);
}

bool TfrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        Label2Click();
    return QWidget::eventFilter(watched, event);
}
