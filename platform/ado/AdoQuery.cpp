#include "platform/ado/AdoQuery.h"

#include "platform/ado/AdoConnection.h"
#include "platform/ado/AdoDataSource.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/AdoSql.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <sqlite3.h>
#include <strings.h>

namespace {

TFieldKind kindOf(const char *declared)
{
    if (!declared)
        return TFieldKind::Variant;
    std::string t(declared);
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    auto has = [&](const char *w) { return t.find(w) != std::string::npos; };
    if (has("DATE") || has("TIME"))
        return TFieldKind::DateTime;
    if (has("INT"))
        return TFieldKind::Integer;
    if (has("BLOB"))
        return TFieldKind::Bytes;
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return TFieldKind::Float;
    return TFieldKind::Text;
}

const char *orEmpty(const char *s) { return s ? s : ""; }

// Each column's name in its table when every column comes straight from one
// table of the main database; empty otherwise.
std::vector<std::string> singleTableOrigins(sqlite3_stmt *st)
{
    const std::string table = orEmpty(sqlite3_column_table_name(st, 0));
    std::vector<std::string> origins;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
        if (table.empty() || table != orEmpty(sqlite3_column_table_name(st, i)) ||
            std::strcmp(orEmpty(sqlite3_column_database_name(st, i)), "main") != 0)
            return {};
        origins.emplace_back(orEmpty(sqlite3_column_origin_name(st, i)));
    }
    return origins;
}

// Replaces st by the same select with the rowid first and returns 1 when
// that resolves to the same table; leaves st and returns 0 otherwise.
int carryRowid(sqlite3 *db, const std::string &text, ado::Statement &st)
{
    if (!ado::sql::canCarryRowid(text))
        return 0;
    try {
        ado::Statement withRowid(db, ado::sql::withRowid(text));
        if (sqlite3_column_count(withRowid.get()) != sqlite3_column_count(st.get()) + 1 ||
            std::strcmp(orEmpty(sqlite3_column_table_name(withRowid.get(), 0)),
                        orEmpty(sqlite3_column_table_name(st.get(), 0))) != 0)
            return 0;
        st = std::move(withRowid);
        return 1;
    } catch (const EDatabaseError &) {
        return 0; // "_rowid_" ambiguous: a join in disguise stays read-only
    }
}

// Reads what the rows of a newly prepared select look like; a modifiable
// one's statement is replaced by the one that carries the rowid.
void readShape(sqlite3 *db, ado::Prepared &p)
{
    auto shape = std::make_shared<ado::ResultShape>();
    if (sqlite3_column_count(p.statement.get()) > 0) {
        std::vector<std::string> origins = singleTableOrigins(p.statement.get());
        if (!origins.empty() && carryRowid(db, p.key, p.statement)) {
            shape->offset = 1;
            shape->table = orEmpty(sqlite3_column_table_name(p.statement.get(), 1));
            shape->origins = std::move(origins);
        }
        sqlite3_stmt *st = p.statement.get();
        for (int i = shape->offset; i < sqlite3_column_count(st); ++i) {
            shape->names.emplace_back(orEmpty(sqlite3_column_name(st, i)));
            shape->kinds.push_back(kindOf(sqlite3_column_decltype(st, i)));
        }
    }
    p.shape = std::move(shape);
}

// Static: values outlive the binding (the statement is reset and its
// bindings cleared before they go).
void bindTexts(sqlite3_stmt *st, const std::vector<std::string> &values)
{
    for (size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(st, int(i) + 1, values[i].data(), int(values[i].size()), SQLITE_STATIC);
}

const std::shared_ptr<const ado::ResultShape> &noShape()
{
    static const std::shared_ptr<const ado::ResultShape> none = std::make_shared<ado::ResultShape>();
    return none;
}

} // namespace

TAdoQuery::TAdoQuery(TAdoConnection &connection, std::string name)
    : Name(std::move(name)), connection_(&connection), shape_(noShape())
{
    connection.attach(this);
}

TAdoQuery::~TAdoQuery()
{
    Close();
    for (TDataSource *s : sources_)
        s->dataSet_ = nullptr;
    if (connection_)
        connection_->detach(this);
}

void TAdoQuery::fail(const std::string &what) const
{
    throw EDatabaseError(0, Name.empty() ? what : Name + ": " + what);
}

void TAdoQuery::requireActive() const
{
    if (!Active())
        fail("Cannot perform this operation on a closed dataset");
}

void TAdoQuery::requireModifiable() const
{
    requireActive();
    if (shape_->table.empty())
        fail("Cannot modify a read-only dataset");
}

void TAdoQuery::SetSQL(std::string text)
{
    Close();
    sql_ = std::move(text);
}

void TAdoQuery::setFields(const std::shared_ptr<const ado::ResultShape> &shape)
{
    const int count = int(shape->names.size());
    if (shape == shape_ && fields_.size() >= size_t(count)) {
        fieldCount_ = count; // the same statement again: the fields stand
        return;
    }
    // Field objects are reused, never freed while the query lives: a pointer
    // kept across a reopen names some field still, never freed memory.
    for (int i = 0; i < count; ++i) {
        if (size_t(i) < fields_.size()) {
            fields_[size_t(i)]->name_ = shape->names[size_t(i)];
            fields_[size_t(i)]->kind_ = shape->kinds[size_t(i)];
        } else {
            fields_.emplace_back(new TField(this, i, shape->names[size_t(i)], shape->kinds[size_t(i)]));
        }
    }
    fieldCount_ = count;
    nullRow_.assign(size_t(count), TAdoValue{});
    shape_ = shape;
}

ado::Lease TAdoQuery::lease(const std::string &sql)
{
    return {connection_->cache_, connection_->take(sql), connection_->compiles_};
}

void TAdoQuery::start(ado::Prepared p)
{
    setFields(p.shape);
    cursor_ = std::move(p);
    state_ = TDataSetState::dsBrowse;
    try {
        fetchOne();
    } catch (...) {
        Close();
        throw;
    }
}

void TAdoQuery::Open()
{
    if (Active())
        return;
    if (!connection_)
        fail("The query has no connection");
    sqlite3 *db = connection_->handle();
    ado::sql::Parameterised text = ado::sql::parameterise(sql_);
    bound_ = std::move(text.values);
    for (int attempt = 0;; ++attempt) {
        ado::Prepared p = connection_->take(text.text);
        if (!p.shape)
            readShape(db, p);
        if (p.shape->names.empty()) {
            connection_->give(std::move(p));
            fail("CommandText does not return a result set");
        }
        bindTexts(p.statement.get(), bound_);
        const uint64_t compiles = connection_->compiles();
        start(std::move(p));
        if (attempt > 0 || connection_->compiles() == compiles)
            break;
        // SQLite compiled the kept statement again in its first step: the
        // schema changed, and the columns read with it may have too.
        cursor_ = {};
        connection_->cache_.clear();
        rows_.clear();
        rowids_.clear();
        state_ = TDataSetState::dsInactive;
    }
    pos_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    notify(Event::State);
    notify(Event::Data);
    if (!rows_.empty() && AfterScroll)
        AfterScroll(*this);
}

int64_t TAdoQuery::ExecSQL()
{
    Close();
    if (!connection_)
        fail("The query has no connection");
    sqlite3 *db = connection_->handle();
    const ado::sql::Parameterised text = ado::sql::parameterise(sql_);
    ado::Lease st = lease(text.text); // given back before text goes

    bindTexts(st.get(), text.values);
    const int before = sqlite3_total_changes(db);
    connection_->writing([&] {
        while (st.step()) {
        }
    });
    return sqlite3_total_changes(db) - before;
}

void TAdoQuery::Close()
{
    if (!Active())
        return;
    state_ = TDataSetState::dsInactive;
    if (connection_)
        connection_->give(std::move(cursor_));
    cursor_ = {};
    suspendedKey_.clear();
    suspendError_.reset();
    rows_.clear();
    rowids_.clear();
    skip_.clear();
    buffer_.clear();
    modified_.clear();
    pos_ = savedPos_ = -1;
    eof_ = bof_ = true;
    fieldCount_ = 0;
    notify(Event::State);
    notify(Event::Data);
}

TAdoQuery::Row TAdoQuery::readRow(sqlite3_stmt *st, int offset) const
{
    Row row(static_cast<size_t>(fieldCount_));
    for (size_t i = 0; i < row.size(); ++i) {
        const int c = int(i) + offset;
        TAdoValue &v = row[i];
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
            v.type = TAdoValue::Integer;
            v.integer = sqlite3_column_int64(st, c);
            break;
        case SQLITE_FLOAT:
            v.type = TAdoValue::Float;
            v.real = sqlite3_column_double(st, c);
            break;
        case SQLITE_TEXT:
            v.type = TAdoValue::Text;
            v.bytes.assign(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                           size_t(sqlite3_column_bytes(st, c)));
            break;
        case SQLITE_BLOB: {
            v.type = TAdoValue::Blob;
            const void *p = sqlite3_column_blob(st, c);
            v.bytes.assign(static_cast<const char *>(p), p ? size_t(sqlite3_column_bytes(st, c)) : 0);
            break;
        }
        default: break;
        }
    }
    return row;
}

bool TAdoQuery::fetchOne()
{
    const int offset = shape_->offset;
    if (!cursor_ && !resume())
        return false;
    while (cursor_) {
        bool more;
        try {
            more = cursor_.statement.step();
        } catch (...) {
            // A failed step would start over on the next one: stop reading.
            connection_->give(std::move(cursor_));
            cursor_ = {};
            throw;
        }
        if (!more) {
            connection_->give(std::move(cursor_)); // reset: the read lock goes at once
            cursor_ = {};
            return false;
        }
        sqlite3_stmt *st = cursor_.statement.get();
        const int64_t rowid = offset ? sqlite3_column_int64(st, 0) : 0;
        if (offset && skip_.count(rowid))
            continue; // held already
        rows_.push_back(readRow(st, offset));
        rowids_.push_back(rowid);
        connection_->scheduleRelease();
        return true;
    }
    return false;
}

bool TAdoQuery::resume()
{
    if (suspendError_) {
        const EDatabaseError error = *suspendError_;
        suspendError_.reset();
        throw error;
    }
    if (suspendedKey_.empty())
        return false;
    ado::Prepared p = connection_->take(suspendedKey_);
    suspendedKey_.clear();
    if (!p.shape)
        readShape(connection_->handle(), p);
    if (p.shape->offset != shape_->offset || p.shape->names != shape_->names) {
        connection_->give(std::move(p));
        fail("The table changed while its rows were being read");
    }
    bindTexts(p.statement.get(), bound_);
    cursor_ = std::move(p);
    skip_.insert(rowids_.begin(), rowids_.end());
    return true;
}

bool TAdoQuery::suspend() noexcept
{
    if (!cursor_)
        return false;
    if (shape_->offset) {
        suspendedKey_ = cursor_.key;
        connection_->give(std::move(cursor_));
        cursor_ = {};
        return true;
    }
    try {
        fetchAll(); // no rowid to find the place again by
    } catch (const EDatabaseError &e) {
        suspendError_ = std::make_unique<EDatabaseError>(e);
    } catch (...) {
        suspendError_ = std::make_unique<EDatabaseError>(0, "Out of memory reading the result");
    }
    return true;
}

void TAdoQuery::fetchAll()
{
    while (fetchOne()) {
    }
}

void TAdoQuery::checkBrowseMode()
{
    requireActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        if (Modified())
            Post();
        else
            Cancel();
    }
}

void TAdoQuery::moveTo(int pos, bool eof, bool bof)
{
    const bool moved = pos != pos_;
    pos_ = pos;
    eof_ = eof;
    bof_ = bof;
    if (moved) {
        notify(Event::Data);
        if (AfterScroll)
            AfterScroll(*this);
    }
}

void TAdoQuery::First()
{
    checkBrowseMode();
    moveTo(rows_.empty() ? -1 : 0, rows_.empty(), true);
}

void TAdoQuery::Next()
{
    checkBrowseMode();
    if (pos_ >= 0 && (size_t(pos_) + 1 < rows_.size() || fetchOne()))
        moveTo(pos_ + 1, false, false);
    else
        moveTo(pos_, true, rows_.empty());
}

void TAdoQuery::Prior()
{
    checkBrowseMode();
    if (pos_ > 0)
        moveTo(pos_ - 1, false, false);
    else
        moveTo(pos_, rows_.empty(), true);
}

void TAdoQuery::Last()
{
    checkBrowseMode();
    fetchAll();
    moveTo(int(rows_.size()) - 1, true, rows_.empty());
}

bool TAdoQuery::IsEmpty() const
{
    // Open reads the first row, so an empty cache means an empty result.
    return rows_.empty() && state_ != TDataSetState::dsInsert;
}

int TAdoQuery::RecordCount()
{
    requireActive();
    fetchAll();
    return int(rows_.size());
}

int TAdoQuery::RecNo() const
{
    if (state_ == TDataSetState::dsInactive || state_ == TDataSetState::dsInsert)
        return 0;
    return pos_ + 1;
}

void TAdoQuery::SetRecNo(int recNo)
{
    checkBrowseMode();
    while (recNo > 0 && size_t(recNo) > rows_.size() && fetchOne()) {
    }
    if (recNo >= 1 && size_t(recNo) <= rows_.size())
        moveTo(recNo - 1, false, false);
}

TField *TAdoQuery::Fields(int index)
{
    requireActive();
    if (index < 0 || index >= FieldCount())
        fail("Field index " + std::to_string(index) + " out of range");
    return fields_[size_t(index)].get();
}

TField *TAdoQuery::FindField(std::string_view name)
{
    if (!Active())
        return nullptr;
    for (int i = 0; i < fieldCount_; ++i)
        if (const TField *f = fields_[size_t(i)].get();
            f->FieldName().size() == name.size() && strncasecmp(f->FieldName().data(), name.data(), name.size()) == 0)
            return fields_[size_t(i)].get();
    return nullptr;
}

TField *TAdoQuery::FieldByName(std::string_view name)
{
    requireActive();
    if (TField *f = FindField(name))
        return f;
    fail("Field '" + std::string(name) + "' not found");
}

void TAdoQuery::notify(Event event)
{
    // A slot may unlink a source: walk a copy (most queries have one source
    // or none, so no allocation).
    TDataSource *few[2];
    std::vector<TDataSource *> many;
    std::span<TDataSource *const> sources;
    if (sources_.size() <= 2) {
        std::copy(sources_.begin(), sources_.end(), few);
        sources = {few, sources_.size()};
    } else {
        many = sources_;
        sources = many;
    }
    for (TDataSource *s : sources) {
        switch (event) {
        case Event::State: emit s->StateChange(); break;
        case Event::Data: emit s->DataChange(); break;
        case Event::Update: emit s->UpdateData(); break;
        }
    }
}
