#include "desk/NewSMS.h"

#include "codec/Gbk.h"
#include "data/WorkFolder.h"
#include "desk/Memo.h"
#include "desk/Outbox.h"
#include "platform/ui/Boxes.h"
#include "platform/ui/Placement.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <stdexcept>
#include <string_view>

TfrmNewSMS *frmNewSMS = nullptr;

namespace {

template <class W> W *named(W *widget, const char *name)
{
    widget->setObjectName(name);
    return widget;
}

// The characters the ANSI text box would hold: one per UTF-16 unit once the
// text has been through GBK.
qsizetype characters(const QString &text)
{
    return QString::fromStdString(gbk::toUtf8(gbk::fromUtf8(text.toStdString()))).size();
}

QString phraseFile(const QString &category) { return QStringLiteral("smsbook/") + category + QStringLiteral(".txt"); }

} // namespace

QStringList readPhrases(const QString &category, bool *cut)
{
    QFile file(phraseFile(category));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("无法打开文件" + file.fileName() + "（" + file.errorString() + "）").toStdString());
    // One byte more than the limit tells whether there is more.
    const QByteArray bytes = file.read(PhraseFileLimit + 1);
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(("无法读取文件" + file.fileName() + "（" + file.errorString() + "）").toStdString());
    std::string_view kept(bytes.constData(), size_t(bytes.size()));
    const bool more = kept.size() > size_t(PhraseFileLimit);
    if (more) {
        // Whole lines only, unless the first line alone passes the limit.
        kept = gbk::headBytes(kept, size_t(PhraseFileLimit));
        if (const size_t end = kept.find_last_of("\r\n"); end != std::string_view::npos)
            kept = kept.substr(0, end + 1);
    }
    if (cut)
        *cut = more;

    // GBK trail bytes are never CR or LF, so the lines can be cut after decoding.
    const QString all = QString::fromStdString(gbk::toUtf8(kept));
    QStringList lines;
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = at;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n')
            ++end;
        lines << all.mid(at, end - at);
        at = end + (end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n' ? 2 : 1);
    }
    return lines;
}

TfrmNewSMS::TfrmNewSMS(const QString &contact, const QString &mobile, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      PageControl1(named(new QTabWidget(this), "PageControl1")), TabSheet1(named(new QWidget, "TabSheet1")),
      TabSheet2(named(new QWidget, "TabSheet2")),
      Button1(named(new QPushButton(QStringLiteral("确定"), this), "Button1")),
      Button2(named(new QPushButton(QStringLiteral("取消"), this), "Button2"))
{
    frmNewSMS = this;
    setObjectName("frmNewSMS");
    setWindowTitle(QStringLiteral("发送信息"));
    PageControl1->addTab(TabSheet1, QStringLiteral("发送窗口"));
    PageControl1->addTab(TabSheet2, QStringLiteral("短信经典"));
    buildSendPage();
    buildPhrasePage();
    for (QPushButton *b : {Button1, Button2})
        b->setAutoDefault(false);
    Button1->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *column = new QVBoxLayout(this);
    column->addWidget(PageControl1);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    connect(edit2, &QPlainTextEdit::textChanged, this, [this] { edit2Change(); });
    // A click that selects a node changes it too: both ask for one load,
    // made after the mouse handling, so a failure's box interrupts nothing.
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this] { scheduleLoad(); });
    TreeView1->viewport()->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    FormCreate(contact, mobile);
}

void TfrmNewSMS::buildSendPage()
{
    Label3 = named(new QLabel(QStringLiteral("姓名   "), TabSheet1), "Label3");
    edit3 = named(new QLineEdit(TabSheet1), "edit3");
    edit3->setReadOnly(true);
    edit3->setEnabled(false);
    Label1 = named(new QLabel(QStringLiteral("手机号"), TabSheet1), "Label1");
    Edit1 = named(new QLineEdit(TabSheet1), "Edit1");
    Label2 = named(new QLabel(QStringLiteral("短信内容"), TabSheet1), "Label2");
    edit2 = named(new TMemo(TabSheet1), "edit2");
    edit2->MaxLength = 240;
    edit2->setMinimumSize(320, 140);
    Label4 = named(new QLabel(QStringLiteral("字数:0          "), TabSheet1), "Label4");
    auto *grid = new QGridLayout(TabSheet1);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(edit3, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Label2, 2, 0, Qt::AlignTop);
    grid->addWidget(edit2, 2, 1);
    grid->addWidget(Label4, 3, 1);
}

void TfrmNewSMS::buildPhrasePage()
{
    TreeView1 = named(new QTreeWidget(TabSheet2), "TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setFixedWidth(110);
    for (const std::string &category : workfolder::phraseCategories())
        new QTreeWidgetItem(TreeView1, {QString::fromStdString(category)});
    ListBox1 = named(new QListWidget(TabSheet2), "ListBox1");
    ListBox1->setFont(QFont(QStringLiteral("宋体")));
    ListBox1->setStyleSheet(QStringLiteral("QListWidget { color: blue; }"));
    ListBox1->setUniformItemSizes(true);
    auto *strip = new QHBoxLayout(TabSheet2);
    strip->addWidget(TreeView1);
    strip->addWidget(ListBox1, 1);
}

void TfrmNewSMS::FormCreate(const QString &contact, const QString &mobile)
{
    PageControl1->setCurrentWidget(TabSheet1);
    CreatedCount = 0;
    edit3->setText(contact);
    Edit1->setText(mobile); // through Edit1Change: "确定" follows the number
    edit2->setFocus();
}

TfrmNewSMS::~TfrmNewSMS()
{
    if (frmNewSMS == this)
        frmNewSMS = nullptr;
}

void TfrmNewSMS::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmNewSMS::showEvent(QShowEvent *event)
{
    placement::place(this, true);
    QDialog::showEvent(event);
}

bool TfrmNewSMS::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease)
        scheduleLoad();
    return QDialog::eventFilter(watched, event);
}

void TfrmNewSMS::FormActivate() { edit2->setFocus(); }

void TfrmNewSMS::Edit1Change() { Button1->setEnabled(!Edit1->text().isEmpty()); }

void TfrmNewSMS::edit2Change()
{
    Label4->setText(QStringLiteral("字数：") + QString::number(characters(edit2->toPlainText())));
}

void TfrmNewSMS::scheduleLoad()
{
    if (loadPending_)
        return;
    loadPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            loadPending_ = false;
            loadSelected();
        },
        Qt::QueuedConnection);
}

void TfrmNewSMS::loadSelected()
{
    const QTreeWidgetItem *node = TreeView1->currentItem();
    if (!node || !node->isSelected())
        return;
    bool cut = false;
    const QStringList phrases = readPhrases(node->text(0), &cut);
    ListBox1->clear();
    for (const QString &phrase : phrases)
        ListBox1->addItem(phrase);
    for (int i = 0; i < ListBox1->count(); ++i)
        ListBox1->item(i)->setSizeHint({0, 20});
    if (cut)
        boxes::inform(this,
                      QStringLiteral("短语文件 %1 超过 %2 KB，只列出了它前面的 %3 条短语。")
                          .arg(QDir::toNativeSeparators(QFileInfo(phraseFile(node->text(0))).absoluteFilePath()))
                          .arg(PhraseFileLimit / 1024)
                          .arg(phrases.size()),
                      windowTitle(), boxes::Icon::Warning);
}

void TfrmNewSMS::TreeView1Click() { loadSelected(); }

void TfrmNewSMS::TreeView1Change() { loadSelected(); }

void TfrmNewSMS::ListBox1DblClick()
{
    const QListWidgetItem *phrase = ListBox1->currentItem();
    if (!phrase || !phrase->isSelected())
        return;
    edit2->setPlainText(phrase->text());
    PageControl1->setCurrentWidget(TabSheet1);
}

void TfrmNewSMS::Button1Click()
{
    const QString text = edit2->toPlainText();
    if (!outbox::ready(text, Edit1->text()))
        return;
    outbox::queue(Edit1->text(), outbox::pieces(text));
    ++CreatedCount;
    Button1->setEnabled(false);
    done(Accepted);
}

void TfrmNewSMS::Button2Click() { done(CreatedCount >= 1 ? Accepted : Rejected); }
