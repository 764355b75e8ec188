#include "desk/RecordDialogs.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "desk/ManagerFrame.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"
#include "platform/ui/Placement.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>
#include <stdexcept>
#include <unordered_set>

namespace {

// The database refused the row itself (a key it holds already, a column's
// rule): what the dialog's "…是否重复" text is for. A full disk, a file
// that cannot be written or another program's lock is told in its own words.
bool refusedRow(const std::exception &error)
{
    const auto *e = dynamic_cast<const EDatabaseError *>(&error);
    return e && ado::isConstraint(*e);
}

// The dialog's own text boxes, not the editors inside pickers and combo boxes.
QList<QWidget *> textBoxes(QWidget *dialog)
{
    QList<QWidget *> out;
    for (QLineEdit *e : dialog->findChildren<QLineEdit *>())
        if (!qobject_cast<QAbstractSpinBox *>(e->parentWidget()) && !qobject_cast<QComboBox *>(e->parentWidget()))
            out << e;
    for (QPlainTextEdit *e : dialog->findChildren<QPlainTextEdit *>())
        out << e;
    for (QTextEdit *e : dialog->findChildren<QTextEdit *>())
        out << e;
    return out;
}

// Asks for the whole size of its contents, not a part: the dialog shows
// them without scrolling wherever the screen has room.
class TFullScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        if (!widget())
            return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint().expandedTo(widget()->minimumSizeHint()) + QSize(frame, frame);
    }
};

} // namespace

std::vector<TCheckItem> checkItems(TAdoQuery &q, const TLinkList &link, const QString &key, bool linkedFirst)
{
    std::vector<std::string> linked;
    desk::open(q, "select * from " + link.linkTable + " where " + link.keyColumn + "=" + desk::quoted(key));
    for (TField *f = q.Eof() ? nullptr : q.FieldByName(link.itemColumn); !q.Eof(); q.Next())
        linked.push_back(f->AsString());
    std::unordered_set<std::string> ticked(linked.begin(), linked.end());
    std::unordered_set<std::string> matched; // linked texts an item equals byte for byte
    std::vector<std::string> items;
    desk::open(q, link.relatedSql);
    for (TField *f = q.Eof() ? nullptr : q.FieldByName(link.relatedColumn); !q.Eof(); q.Next()) {
        items.push_back(f->AsString());
        if (ticked.count(items.back()))
            matched.insert(items.back());
    }
    q.Close();
    // A probe per item would cost a statement each; the texts are nearly
    // always equal byte for byte, so only the others go to the database.
    for (const std::string &text : linked) {
        if (matched.count(text))
            continue;
        desk::open(q, "select " + link.relatedColumn + " from (" + link.relatedSql + ") where " + link.relatedColumn +
                          "=" + QuotedStr(text));
        for (; !q.Eof(); q.Next())
            ticked.insert(q.Fields(0)->AsString());
        q.Close();
    }

    std::vector<TCheckItem> out;
    out.reserve(items.size() + (linkedFirst ? linked.size() : 0));
    if (linkedFirst)
        for (const std::string &text : linked)
            out.push_back({QString::fromStdString(text), true});
    for (const std::string &text : items) {
        const bool tick = ticked.count(text) > 0;
        if (!linkedFirst || !tick)
            out.push_back({QString::fromStdString(text), tick && !linkedFirst});
    }
    return out;
}

void fillCheckList(QListWidget *list, const std::vector<TCheckItem> &items)
{
    list->clear();
    for (const TCheckItem &item : items) {
        // Ticked before it joins the list: a change to an item in a list
        // looks for its row, item by item.
        auto *entry = new QListWidgetItem(item.text);
        entry->setCheckState(item.ticked ? Qt::Checked : Qt::Unchecked);
        list->addItem(entry);
    }
}

void writeLinks(const std::vector<TLinkList> &links, const QString &key)
{
    TAdoQuery &q = desk::Db().Query1;
    for (const TLinkList &l : links)
        desk::exec(q, "delete from " + l.linkTable + " where " + l.keyColumn + "=" + desk::quoted(key));
    for (const TLinkList &l : links) {
        desk::open(q, "select * from " + l.linkTable);
        for (int i = 0; i < l.list->count(); ++i) {
            if (l.list->item(i)->checkState() != Qt::Checked)
                continue;
            q.Append();
            q.FieldByName(l.keyColumn)->SetAsString(key.toStdString());
            q.FieldByName(l.itemColumn)->SetAsString(l.list->item(i)->text().toStdString());
            q.Post();
        }
        q.Close();
    }
}

// --- New ---------------------------------------------------------------

TNewRecordDialog::TNewRecordDialog(Settings settings, QWidget *parent)
    : QDialog(parent), Edit1(new QLineEdit(this)), Button1(new QPushButton(QStringLiteral("创建"), this)),
      Button2(new QPushButton(QStringLiteral("关闭"), this)), settings_(std::move(settings))
{
    setWindowTitle(settings_.caption);
    Edit1->setObjectName("Edit1");
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");
    for (QPushButton *b : {Button1, Button2})
        b->setAutoDefault(false);
    Button1->setEnabled(!settings_.typedKey);
    if (settings_.typedKey)
        connect(Edit1, &QLineEdit::textChanged, this, [this] { Button1->setEnabled(!Edit1->text().isEmpty()); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TNewRecordDialog::showEvent(QShowEvent *event)
{
    placement::fit(this, true);
    QDialog::showEvent(event);
}

bool TNewRecordDialog::OwnCheck() { return true; }

void TNewRecordDialog::AssignFields(TAdoQuery &) {}

void TNewRecordDialog::Created() {}

void TNewRecordDialog::InsertRow()
{
    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, "select * from " + settings_.table);
    q.Append();
    q.FieldByName(settings_.keyColumn)
        ->SetAsString(settings_.numericKey ? desk::number(Edit1->text()) : Edit1->text().toStdString());
    AssignFields(q);
    q.Post();
    q.Close();
}

void TNewRecordDialog::WriteOperLog() { desk::appendOperLog(desk::Db().Query1, settings_.logPrefix + Edit1->text()); }

void TNewRecordDialog::Insert()
{
    InsertRow();
    WriteOperLog();
}

void TNewRecordDialog::ClearFields()
{
    for (QWidget *w : textBoxes(this)) {
        if (auto *e = qobject_cast<QLineEdit *>(w))
            e->clear();
        else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
            p->clear();
        else if (auto *t = qobject_cast<QTextEdit *>(w))
            t->clear();
    }
}

void TNewRecordDialog::Button1Click()
{
    if (!OwnCheck())
        return;
    bool ok = true;
    try {
        // The record, its link rows and its log row, all or nothing.
        ado::OperatorWait wait(desk::Db().Database1);
        ado::Transaction transaction(desk::Db().Database1);
        Insert();
        transaction.commit();
    } catch (const std::exception &e) {
        // Any cause but a refused row: what was typed stays for another try.
        if (!refusedRow(e)) {
            boxes::showMessage(desk::errorText(e));
            return;
        }
        ok = false;
        boxes::showMessage(settings_.failure);
    }
    if (ok)
        Created();
    if (ok || settings_.countFailures)
        ++CreatedCount;
    ClearFields();
    Button1->setEnabled(false);
}

void TNewRecordDialog::Button2Click() { done(CreatedCount >= 1 ? Accepted : Rejected); }

// --- Edit --------------------------------------------------------------

TEditRecordDialog::TEditRecordDialog(Settings settings, TManagerFrame *manager, TListView *source, QWidget *parent)
    : QDialog(parent), Edit1(new QLineEdit(this)), OkButton(new QPushButton(QStringLiteral("确定"), this)),
      CancelButton(new QPushButton(QStringLiteral("取消"), this)), manager_(manager), source_(source),
      settings_(std::move(settings))
{
    setWindowTitle(settings_.caption);
    Edit1->setObjectName("Edit1");
    OkButton->setObjectName(settings_.okName);
    CancelButton->setObjectName(settings_.cancelName);
    for (QPushButton *b : {OkButton, CancelButton})
        b->setAutoDefault(false);
    connect(OkButton, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
}

void TEditRecordDialog::showEvent(QShowEvent *event)
{
    placement::fit(this, settings_.centred);
    QDialog::showEvent(event);
}

void TEditRecordDialog::LoadFields(TAdoQuery &) {}

void TEditRecordDialog::SaveFields(TAdoQuery &) {}

bool TEditRecordDialog::OwnCheck() { return true; }

bool TEditRecordDialog::BeforeOk() { return true; }

std::string TEditRecordDialog::KeyLiteral(const QString &key) const
{
    return settings_.numericKey ? desk::number(key) : desk::quoted(key);
}

void TEditRecordDialog::FormCreate()
{
    if (source_ && source_->Selected() >= 0)
        Edit1->setText(source_->Caption(source_->Selected()));
    const QString key = Edit1->text();
    const std::string literal = KeyLiteral(key);

    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, "select * from " + settings_.table + " where " + settings_.keyColumn + "=" + literal);
    LoadFields(q);
    q.Close();
    LoadLinks(key);

    OriginalKey = settings_.numericKey ? QString::fromStdString(literal) : key;
    Modified = false;
    for (QWidget *w : textBoxes(this))
        w->installEventFilter(this);
    for (const TLinkList &l : Links)
        connect(l.list, &QListWidget::itemChanged, this, [this] { Modified = true; });
}

void TEditRecordDialog::LoadLinks(const QString &key)
{
    for (const TLinkList &l : Links)
        fillCheckList(l.list, checkItems(desk::Db().Query1, l, key));
}

void TEditRecordDialog::SaveLinks() { writeLinks(Links, Edit1->text()); }

void TEditRecordDialog::Saved() {}

void TEditRecordDialog::OkClick()
{
    if (!BeforeOk())
        return;
    if (!Modified && !settings_.unmodifiedWrites) {
        done(Accepted);
        return;
    }
    // Without a change the dialog closes with OK when the handler ends,
    // whatever the steps below make of it.
    struct CloseAtEnd {
        QDialog *dialog;
        bool armed;
        ~CloseAtEnd()
        {
            if (armed)
                dialog->done(QDialog::Accepted);
        }
    } close{this, !Modified};

    if (!OwnCheck())
        return;
    // The record and its link rows are saved all or nothing. The failure
    // is told after the rollback: the timers write while a box is up.
    bool updated = false;
    try {
        ado::OperatorWait wait(desk::Db().Database1);
        ado::Transaction transaction(desk::Db().Database1);
        TAdoQuery &q = desk::Db().Query1;
        desk::open(q, "select * from " + settings_.table + " where " + settings_.keyColumn + "=" +
                          KeyLiteral(OriginalKey));
        q.First();
        q.Edit();
        q.FieldByName(settings_.keyColumn)
            ->SetAsString(settings_.numericKey ? desk::number(Edit1->text()) : Edit1->text().toStdString());
        SaveFields(q);
        q.Post();
        q.Close();
        updated = true;
        SaveLinks();
        transaction.commit();
    } catch (const std::exception &e) {
        if (!updated && refusedRow(e))
            boxes::showMessage(settings_.failure);
        else if (updated)
            desk::tellFailed(e); // a link row
        else
            boxes::showMessage(desk::errorText(e));
        return;
    }
    if (manager_)
        manager_->Changed = Modified;
    close.armed = true; // saved: OK whatever the step after it makes of it
    Saved();
}

bool TEditRecordDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        Modified = true;
    return QDialog::eventFilter(watched, event);
}

// --- building blocks -------------------------------------------------------

namespace desk {

QLineEdit *recordEdit(QWidget *dialog, const char *name, bool password)
{
    auto *e = new QLineEdit(dialog);
    e->setObjectName(name);
    if (password)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

QListWidget *checkList(QWidget *dialog, const char *name)
{
    auto *l = new QListWidget(dialog);
    l->setObjectName(name);
    return l;
}

void layoutRecord(QDialog *dialog, const std::vector<std::pair<QString, QWidget *>> &rows,
                  const std::vector<QWidget *> &buttons)
{
    auto *form = new QFormLayout(dialog);
    for (const auto &[label, field] : rows) {
        if (label.isEmpty())
            form->addRow(field);
        else
            form->addRow(label, field);
    }
    auto *strip = new QHBoxLayout;
    strip->addStretch(1);
    for (QWidget *b : buttons)
        strip->addWidget(b);
    form->addRow(strip);

    std::vector<QWidget *> chain;
    for (const auto &row : rows)
        chain.push_back(row.second);
    chain.insert(chain.end(), buttons.begin(), buttons.end());
    setTabChain(chain);
}

QScrollArea *scrollingPanel(QWidget *dialog, QWidget *contents)
{
    auto *area = new TFullScrollArea(dialog);
    area->setObjectName("ScrollBox1");
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // Tab goes to the fields inside
    area->setWidgetResizable(true);
    area->setWidget(contents);
    return area;
}

void setTabChain(const std::vector<QWidget *> &widgets)
{
    std::vector<QWidget *> chain;
    const auto add = [&chain](QWidget *w, const auto &self) -> void {
        if (w->focusPolicy() & Qt::TabFocus) {
            chain.push_back(w);
            if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
                memo->setTabChangesFocus(true);
            return;
        }
        for (QObject *child : w->children())
            if (auto *inner = qobject_cast<QWidget *>(child); inner && !inner->isWindow())
                self(inner, self);
    };
    for (QWidget *w : widgets)
        add(w, add);
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

QString fieldText(TAdoQuery &row, const char *column)
{
    return QString::fromStdString(row.FieldByName(column)->AsString());
}

void setField(TAdoQuery &row, const char *column, const QString &text)
{
    row.FieldByName(column)->SetAsString(text.toStdString());
}

void setTextOrNull(TAdoQuery &row, const char *column, const QString &text)
{
    if (text.isEmpty())
        row.FieldByName(column)->Clear();
    else
        setField(row, column, text);
}

} // namespace desk
