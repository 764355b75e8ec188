#include "desk/DataControls.h"

#include "desk/Photo.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QAbstractTableModel>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>
#include <optional>
#include <utility>

namespace desk {

TAdoQuery *activeQuery(const TDataSource *source)
{
    TAdoQuery *q = source ? source->DataSet() : nullptr;
    return q && q->Active() ? q : nullptr;
}

TField *boundField(const TDataSource *source, const QString &field)
{
    TAdoQuery *q = activeQuery(source);
    return q && !field.isEmpty() ? q->FindField(field.toStdString()) : nullptr;
}

} // namespace desk

namespace {

// Runs a step on a query; a failure is shown in the error box.
template <class Step> bool guarded(Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception &e) {
        boxes::showError(e);
        return false;
    }
}

bool editing(const TAdoQuery *q)
{
    return q && (q->State() == TDataSetState::dsEdit || q->State() == TDataSetState::dsInsert);
}

// Puts q into Edit unless it is editing already (Edit on no row appends).
void edit(TAdoQuery &q)
{
    if (!editing(&q))
        q.Edit();
}

} // namespace

// --- grid --------------------------------------------------------------------

class TGridModel : public QAbstractTableModel {
public:
    TGridModel(TDataSource *source, std::vector<TDBGrid::Column> columns, QObject *parent)
        : QAbstractTableModel(parent), source_(source), columns_(std::move(columns))
    {
    }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(columns_.size()); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        // The row being edited shows what has been typed into it.
        TAdoQuery *q = desk::activeQuery(source_);
        if (editing(q) && q->RecNo() == index.row() + 1)
            if (TField *f = desk::boundField(source_, columns_[size_t(index.column())].field))
                return QString::fromStdString(f->AsString());
        const QString &value = rows_[size_t(index.row())][index.column()];
        return dates_[size_t(index.column())] ? shownDate(value) : value;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < int(columns_.size()))
            return columns_[size_t(section)].title;
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (editable && index.isValid() && !columns_[size_t(index.column())].field.isEmpty())
            f |= Qt::ItemIsEditable;
        return f;
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        TAdoQuery *q = desk::activeQuery(source_);
        if (!q || role != Qt::EditRole || !index.isValid())
            return false;
        const QString field = columns_[size_t(index.column())].field;
        return guarded([&] {
            if (q->RecNo() != index.row() + 1)
                q->SetRecNo(index.row() + 1);
            edit(*q);
            q->FieldByName(field.toStdString())->SetAsString(value.toString().toStdString());
        });
    }

    // Every row of the query, read without moving it for anyone watching.
    void reload()
    {
        beginResetModel();
        rows_.clear();
        if (TAdoQuery *q = desk::activeQuery(source_); q && !editing(q)) {
            const QSignalBlocker quiet(source_);
            auto afterScroll = std::exchange(q->AfterScroll, nullptr);
            const int at = q->RecNo();
            try {
                for (q->First(); !q->Eof(); q->Next())
                    rows_.push_back(current(*q));
                at <= 1 ? q->First() : q->SetRecNo(at);
            } catch (...) {
                q->AfterScroll = std::move(afterScroll);
                endResetModel();
                throw;
            }
            q->AfterScroll = std::move(afterScroll);
        }
        endResetModel();
    }

    // The query's current row read again, or appended when it is new.
    void refreshCurrent()
    {
        TAdoQuery *q = desk::activeQuery(source_);
        const int row = q ? q->RecNo() - 1 : -1;
        if (row < 0)
            return;
        if (size_t(row) < rows_.size()) {
            rows_[size_t(row)] = current(*q);
            emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
        } else if (size_t(row) == rows_.size()) {
            beginInsertRows({}, row, row);
            rows_.push_back(current(*q));
            endInsertRows();
        } else {
            reload();
        }
    }

    void clear()
    {
        beginResetModel();
        rows_.clear();
        endResetModel();
    }

    void rowEdited(int row)
    {
        if (row >= 0 && row < rowCount({}))
            emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
    }

    const std::vector<TDBGrid::Column> &columns() const { return columns_; }
    bool editable = true;
    TDataSetState lastState = TDataSetState::dsInactive;

private:
    // A date-time is kept as stored and made into text only when shown:
    // a list of thousands of rows is read without parsing every date.
    QStringList current(TAdoQuery &q)
    {
        QStringList row;
        for (size_t i = 0; i < columns_.size(); ++i) {
            TField *f = columns_[i].field.isEmpty() ? nullptr : q.FindField(columns_[i].field.toStdString());
            dates_[i] = f && f->Kind() == TFieldKind::DateTime;
            row << (!f          ? QString()
                    : dates_[i] ? QString::fromUtf8(f->AsBytes())
                                : QString::fromStdString(f->AsString()));
        }
        return row;
    }

    static QString shownDate(const QString &stored)
    {
        bool ok = false;
        const QDateTime value = ado::parseDateTime(stored.toStdString(), &ok);
        return ok ? QString::fromStdString(DateTimeToStr(value)) : stored;
    }

    TDataSource *source_;
    std::vector<TDBGrid::Column> columns_;
    std::vector<QStringList> rows_;
    std::vector<bool> dates_ = std::vector<bool>(columns_.size(), false);
};

TDBGrid::TDBGrid(TDataSource *source, std::vector<Column> columns, QWidget *parent)
    : QTableView(parent), source_(source), model_(new TGridModel(source, std::move(columns), this))
{
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < int(model_->columns().size()); ++c) {
        setColumnWidth(c, model_->columns()[size_t(c)].width);
        setColumnHidden(c, !model_->columns()[size_t(c)].visible);
    }
    SetReadOnly(false);

    connect(source, &TDataSource::StateChange, this, [this] {
        TAdoQuery *q = desk::activeQuery(source_);
        const TDataSetState state = q ? q->State() : TDataSetState::dsInactive;
        if (state == TDataSetState::dsInactive)
            model_->clear();
        else if (state == TDataSetState::dsBrowse)
            model_->lastState == TDataSetState::dsInactive ? model_->reload() : model_->refreshCurrent();
        model_->lastState = state;
        followQuery();
    });
    connect(source, &TDataSource::DataChange, this, [this] {
        if (TAdoQuery *q = desk::activeQuery(source_); editing(q))
            model_->rowEdited(q->RecNo() - 1);
        followQuery();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &now, const QModelIndex &before) {
                if (following_ || !now.isValid())
                    return;
                if (now.column() != before.column())
                    emit ColEnter();
                TAdoQuery *q = desk::activeQuery(source_);
                if (q && now.row() + 1 != q->RecNo() && !guarded([&] { q->SetRecNo(now.row() + 1); }))
                    followQuery(); // the pending change could not be posted: stay on its row
            });
    connect(this, &QTableView::clicked, this, [this] { emit CellClick(); });
}

void TDBGrid::SetReadOnly(bool readOnly)
{
    model_->editable = !readOnly;
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(readOnly ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
}

QString TDBGrid::CellText(int row, int column) const
{
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

int TDBGrid::RowCount() const { return model_->rowCount({}); }

void TDBGrid::followQuery()
{
    TAdoQuery *q = desk::activeQuery(source_);
    const int row = q ? q->RecNo() - 1 : -1;
    if (row < 0 || row >= model_->rowCount({}) || currentIndex().row() == row)
        return;
    int column = currentIndex().isValid() ? currentIndex().column() : 0;
    while (column < model_->columnCount({}) - 1 && isColumnHidden(column))
        ++column;
    following_ = true;
    setCurrentIndex(model_->index(row, column));
    following_ = false;
}

// --- edit and memo -------------------------------------------------------------

namespace {

QString fieldText(const TDataSource *source, const QString &field)
{
    TField *f = desk::boundField(source, field);
    return f ? QString::fromStdString(f->AsString()) : QString();
}

// Typing needs a row: Edit on an empty result would append one that holds
// nothing but what was typed (a note of no contact, a contact without a key).
bool rowThere(const TDataSource *source)
{
    const TAdoQuery *q = desk::activeQuery(source);
    return q && !q->IsEmpty();
}

void writeField(TDataSource *source, const QString &field, const QString &text)
{
    TAdoQuery *q = desk::activeQuery(source);
    if (!q)
        return;
    guarded([&] {
        edit(*q);
        q->FieldByName(field.toStdString())->SetAsString(text.toStdString());
    });
}

} // namespace

TDBEdit::TDBEdit(TDataSource *source, QString field, QWidget *parent)
    : QLineEdit(parent), source_(source), field_(std::move(field))
{
    connect(source, &TDataSource::DataChange, this, [this] { display(); });
    connect(source, &TDataSource::StateChange, this, [this] { display(); });
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) { write(text); });
    display();
}

void TDBEdit::display()
{
    setReadOnly(!rowThere(source_));
    // Only a different value is set: the cursor stays where the operator types.
    const QString value = fieldText(source_, field_);
    if (text() != value)
        setText(value);
}

void TDBEdit::write(const QString &text) { writeField(source_, field_, text); }

TDBMemo::TDBMemo(TDataSource *source, QString field, QWidget *parent)
    : QPlainTextEdit(parent), source_(source), field_(std::move(field))
{
    connect(source, &TDataSource::DataChange, this, [this] { display(); });
    connect(source, &TDataSource::StateChange, this, [this] { display(); });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            writeField(source_, field_, toPlainText());
    });
    display();
}

void TDBMemo::display()
{
    setReadOnly(!rowThere(source_));
    const QString value = fieldText(source_, field_);
    if (toPlainText() == value)
        return;
    showing_ = true;
    setPlainText(value);
    showing_ = false;
}

// --- image -------------------------------------------------------------------

TDBImage::TDBImage(TDataSource *source, QString field, QWidget *parent)
    : QLabel(parent), source_(source), field_(std::move(field))
{
    setScaledContents(true);
    setFrameShape(QFrame::StyledPanel);
    setAlignment(Qt::AlignCenter);
    connect(source, &TDataSource::DataChange, this, [this] { display(); });
    connect(source, &TDataSource::StateChange, this, [this] { display(); });
    display();
}

void TDBImage::SetDataField(const QString &field)
{
    field_ = field;
    shownValid_ = false;
    display();
}

void TDBImage::setPicture(QImage image)
{
    picture_ = std::move(image);
    if (picture_.isNull())
        clear();
    else
        setPixmap(QPixmap::fromImage(picture_));
}

void TDBImage::display()
{
    TField *f = desk::boundField(source_, field_);
    const QByteArray bytes = f ? f->AsBytes() : QByteArray();
    if (shownValid_ && bytes == shown_)
        return;
    shown_ = bytes;
    shownValid_ = true;
    if (bytes.isEmpty()) {
        setPicture({});
        return;
    }
    photo::Decoded d = photo::decode(bytes);
    setPicture(std::move(d.image));
    if (d.failure != photo::Failure::None)
        boxes::showMessage(QStringLiteral("照片无法显示，") + field_ + QStringLiteral("中的内容保持不变"));
}

bool TDBImage::LoadFromFile(const QString &path)
{
    TAdoQuery *q = desk::activeQuery(source_);
    if (!q)
        return false;
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    photo::Decoded d;
    if (file.open(QIODevice::ReadOnly))
        d = photo::decode(file.readAll());
    else
        d.failure = photo::Failure::Unreadable;
    if (d.failure != photo::Failure::None) {
        // The frame is emptied; the column keeps its content.
        setPicture({});
        shownValid_ = false;
        boxes::showMessage(d.failure == photo::Failure::TooLarge ? QStringLiteral("图片太大，无法载入：") + name
                                                                 : QStringLiteral("无法读取图片：") + name);
        return false;
    }
    const QByteArray bitmap = photo::toBitmap(d.image);
    // Shown as decoded: the bitmap need not be decoded again.
    shown_ = bitmap;
    shownValid_ = true;
    setPicture(std::move(d.image));
    return guarded([&] {
        edit(*q);
        q->FieldByName(field_.toStdString())->SetAsBytes(bitmap);
    });
}

// --- navigator ---------------------------------------------------------------

TDBNavigator::TDBNavigator(TDataSource *source, std::initializer_list<Button> buttons, QWidget *parent)
    : QWidget(parent), source_(source)
{
    struct Look {
        Button button;
        const char *name;
        const char *glyph;
        const char *hint;
    };
    static const Look looks[] = {
        {Button::First, "nbFirst", "|◀", "第一条"}, {Button::Prior, "nbPrior", "◀", "上一条"},
        {Button::Next, "nbNext", "▶", "下一条"},    {Button::Last, "nbLast", "▶|", "最后一条"},
        {Button::Post, "nbPost", "✔", "保存"},      {Button::Cancel, "nbCancel", "✘", "取消"},
    };
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const Look &l : looks) {
        if (std::find(buttons.begin(), buttons.end(), l.button) == buttons.end())
            continue;
        auto *b = new QToolButton(this);
        b->setObjectName(l.name);
        b->setText(QString::fromUtf8(l.glyph));
        b->setToolTip(QString::fromUtf8(l.hint));
        b->setAutoRaise(false);
        const Button which = l.button;
        connect(b, &QToolButton::clicked, this, [this, which] { Click(which); });
        buttons_[l.button] = b;
        row->addWidget(b);
    }
    connect(source, &TDataSource::StateChange, this, [this] { enable(); });
    connect(source, &TDataSource::DataChange, this, [this] { enable(); });
    enable();
}

QToolButton *TDBNavigator::ButtonOf(Button button) const
{
    auto it = buttons_.find(button);
    return it == buttons_.end() ? nullptr : it->second;
}

bool TDBNavigator::Click(Button button)
{
    TAdoQuery *q = desk::activeQuery(source_);
    if (!q)
        return true;
    return guarded([&] {
        // The operator's own step: another program's lock is waited for a
        // while, but not through the error box.
        std::optional<ado::OperatorWait> wait;
        if (q->Connection())
            wait.emplace(*q->Connection());
        switch (button) {
        case Button::First: q->First(); break;
        case Button::Prior: q->Prior(); break;
        case Button::Next: q->Next(); break;
        case Button::Last: q->Last(); break;
        case Button::Post: q->Post(); break;
        case Button::Cancel: q->Cancel(); break;
        }
    });
}

void TDBNavigator::enable()
{
    TAdoQuery *q = desk::activeQuery(source_);
    const bool changing = editing(q);
    const int at = q ? q->RecNo() : 0;
    const int rows = q && !changing ? q->RecordCount() : 0;
    for (auto &[button, b] : buttons_) {
        bool on = false;
        switch (button) {
        case Button::First:
        case Button::Prior: on = q && !changing && at > 1; break;
        case Button::Next:
        case Button::Last: on = q && !changing && at < rows; break;
        case Button::Post:
        case Button::Cancel: on = changing; break;
        }
        b->setEnabled(on);
    }
}
