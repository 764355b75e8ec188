// The gateway window's widgets.

#include "gateway/window/SMSMain.h"

#include "platform/ui/Placement.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

namespace {

constexpr int kClientWidth = 656;
constexpr int kClientHeight = 446;
constexpr int kSendBoxHeight = 43;
constexpr int kLeftStripWidth = 120;
constexpr int kLogPaneHeight = 126;
constexpr int kSentListHeight = 152;
constexpr int kLogPaneLines = 2000; // the pane keeps the latest lines (those of 1,000 messages)

// The left strip's picture: a blue gradient with the product name.
QPixmap stripPicture()
{
    QPixmap picture(kLeftStripWidth, 400);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, picture.height());
    gradient.setColorAt(0, QColor(16, 48, 120));
    gradient.setColorAt(1, QColor(120, 170, 230));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    const QString name = QStringLiteral("澜星信使");
    for (int i = 0; i < name.size(); ++i)
        painter.drawText(QRect(0, 60 + i * 44, kLeftStripWidth, 44), Qt::AlignCenter, name.at(i));
    return picture;
}

QTreeWidget *messageList(const QString &name, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setColumnCount(3);
    list->setHeaderLabels({QStringLiteral("手机号"), QStringLiteral("内容"), QStringLiteral("时间")});
    list->setColumnWidth(0, 120);
    list->setColumnWidth(1, 250);
    list->setColumnWidth(2, 140);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QGroupBox *groupWith(const QString &name, const QString &title, QWidget *inner, QWidget *parent)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(name);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 4, 4, 4);
    inner->setParent(group);
    layout->addWidget(inner);
    return group;
}

} // namespace

void TXMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    setCursorWidth(0);
}

void TFMain::FormCreate()
{
    setObjectName("FMain");
    setWindowTitle(QStringLiteral("澜星信使网关"));
    setWindowFlag(Qt::Tool);
    // Not the main window: closing it must never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    menuBar()->setObjectName("MainMenu1");
    N6 = menuBar()->addAction(QStringLiteral("设置中心号码"));
    N6->setObjectName("N6");
    N7 = menuBar()->addAction(QStringLiteral("设置串口"));
    N7->setObjectName("N7");
    connect(N6, &QAction::triggered, this, &TFMain::N6Click);
    connect(N7, &QAction::triggered, this, &TFMain::N7Click);

    auto *client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    auto *rows = new QVBoxLayout(client);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(BuildSendBox(client));

    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setFixedWidth(kLeftStripWidth);
    Image1->setPixmap(stripPicture());
    Image1->setScaledContents(true);
    body->addWidget(Image1);
    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    BuildLists(client);
    right->addWidget(Panel6);
    right->addWidget(GroupBox1);
    right->addWidget(GroupBox2, 1);
    body->addLayout(right, 1);
    rows->addLayout(body, 1);

    // Hidden: the monitor controls of the channels live here.
    Panel2 = new QFrame(client);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, 0, 520, 220);
    Panel2->hide();
    Memo1 = new QPlainTextEdit(Panel2);
    Memo1->setObjectName("Memo1");
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun")});
    font.setPixelSize(14);
    Memo1->setFont(font);
    FXMemo->setFont(Memo1->font());

    BuildStatusBar();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    setMinimumSize(kClientWidth, kClientHeight);
    placement::place(this, true);
}

QFrame *TFMain::BuildSendBox(QWidget *parent)
{
    auto *strip = new QFrame(parent);
    strip->setObjectName("Panel1");
    strip->setFixedHeight(kSendBoxHeight);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(8, 0, 8, 0);
    auto *label1 = new QLabel(QStringLiteral("手机号"), strip);
    label1->setObjectName("Label1");
    MaskEdit1 = new QLineEdit(strip);
    MaskEdit1->setObjectName("MaskEdit1");
    // Eleven required digits, blanks shown as "_".
    MaskEdit1->setInputMask(QStringLiteral("99999999999;_"));
    MaskEdit1->setMaxLength(11);
    MaskEdit1->setText(QStringLiteral("13800138000"));
    MaskEdit1->setFixedWidth(110);
    auto *label2 = new QLabel(QStringLiteral("内容"), strip);
    label2->setObjectName("Label2");
    Edit2 = new QLineEdit(QStringLiteral("澜星信使"), strip);
    Edit2->setObjectName("Edit2");
    Button3 = new QPushButton(QStringLiteral("发送消息"), strip);
    Button3->setObjectName("Button3");
    Button3->setEnabled(false);
    row->addWidget(label1);
    row->addWidget(MaskEdit1);
    row->addWidget(label2);
    row->addWidget(Edit2, 1);
    row->addWidget(Button3);
    connect(Button3, &QPushButton::clicked, this, &TFMain::Button3Click);
    // Edit2KeyPress: Enter sends like the button.
    connect(Edit2, &QLineEdit::returnPressed, this, &TFMain::Button3Click);
    return strip;
}

void TFMain::BuildLists(QWidget *parent)
{
    Panel6 = new QFrame(parent);
    Panel6->setObjectName("Panel6");
    Panel6->setFixedHeight(kLogPaneHeight);
    auto *pane = new QVBoxLayout(Panel6);
    pane->setContentsMargins(0, 0, 0, 0);
    FXMemo = new TXMemo(Panel6);
    FXMemo->setObjectName("FXMemo");
    FXMemo->setReadOnly(true);
    FXMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    FXMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FXMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FXMemo->setFocusPolicy(Qt::ClickFocus);
    FXMemo->viewport()->setCursor(Qt::ArrowCursor);
    FXMemo->setMaximumBlockCount(kLogPaneLines);
    pane->addWidget(FXMemo);

    ListView1 = messageList("ListView1", parent);
    GroupBox1 = groupWith("GroupBox1", QStringLiteral("发送的信息"), ListView1, parent);
    GroupBox1->setFixedHeight(kSentListHeight);
    ListView2 = messageList("ListView2", parent);
    GroupBox2 = groupWith("GroupBox2", QStringLiteral("收到的信息"), ListView2, parent);
    connect(ListView1, &QTreeWidget::clicked, this, &TFMain::ListView1Click);
    connect(ListView2, &QTreeWidget::clicked, this, &TFMain::ListView2Click);
}

void TFMain::BuildStatusBar()
{
    SBar = new QStatusBar(this);
    SBar->setObjectName("SBar");
    SBar->setSizeGripEnabled(false);
    const int widths[4] = {125, 300, 100, 50};
    const QString texts[4] = {QStringLiteral("设备工作状态"), QStringLiteral("短信设备未连接"),
                              QStringLiteral("端口状态"), QString()};
    for (int i = 0; i < 5; ++i) {
        SBarPanels[i] = new QLabel(i < 4 ? texts[i] : QString(), SBar);
        SBarPanels[i]->setObjectName(QStringLiteral("SBarPanel%1").arg(i));
        SBarPanels[i]->setFrameShape(QFrame::Panel);
        SBarPanels[i]->setFrameShadow(QFrame::Sunken);
        // The last panel takes the room that is left, so a long port
        // name stays readable.
        if (i < 3)
            SBarPanels[i]->setFixedWidth(widths[i]);
        else if (i == 3)
            SBarPanels[i]->setMinimumWidth(widths[i]);
        if (i < 4)
            SBar->addWidget(SBarPanels[i], i < 3 ? 0 : 1);
    }
    // Only while a queue file cannot be written.
    SBarPanels[4]->hide();
    SBar->addPermanentWidget(SBarPanels[4]);
    setStatusBar(SBar);
}
