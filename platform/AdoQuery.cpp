#include "platform/AdoQuery.h"

#include "platform/AdoConnection.h"
#include "platform/AdoDataSource.h"
#include "platform/AdoError.h"
#include "platform/AdoSql.h"

#include <algorithm>
#include <cstring>
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

} // namespace

TAdoQuery::TAdoQuery(TAdoConnection &connection, std::string name)
    : Name(std::move(name)), connection_(&connection)
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
    if (table_.empty())
        fail("Cannot modify a read-only dataset");
}

void TAdoQuery::SetSQL(std::string text)
{
    Close();
    sql_ = std::move(text);
}

void TAdoQuery::Open()
{
    if (Active())
        return;
    if (!connection_)
        fail("The query has no connection");
    sqlite3 *db = connection_->handle();
    const std::string text = ado::sql::normalise(sql_);
    ado::Statement st(db, text);
    const int count = sqlite3_column_count(st.get());
    if (count == 0)
        fail("CommandText does not return a result set");

    std::string table = orEmpty(sqlite3_column_table_name(st.get(), 0));
    std::vector<std::string> origins;
    for (int i = 0; i < count && !table.empty(); ++i) {
        if (table != orEmpty(sqlite3_column_table_name(st.get(), i))
            || std::strcmp(orEmpty(sqlite3_column_database_name(st.get(), i)), "main") != 0)
            table.clear();
        else
            origins.emplace_back(orEmpty(sqlite3_column_origin_name(st.get(), i)));
    }
    int offset = 0;
    if (!table.empty() && ado::sql::canCarryRowid(text)) {
        try {
            ado::Statement withRowid(db, ado::sql::withRowid(text));
            if (sqlite3_column_count(withRowid.get()) == count + 1) {
                st = std::move(withRowid);
                offset = 1;
            }
        } catch (const EDatabaseError &) {
            // "_rowid_" ambiguous (a join in disguise): the result stays read-only.
        }
    }
    if (offset == 0) {
        table.clear();
        origins.clear();
    }

    fields_.clear();
    for (int i = 0; i < count; ++i)
        fields_.emplace_back(new TField(this, i, orEmpty(sqlite3_column_name(st.get(), i + offset)),
                                        kindOf(sqlite3_column_decltype(st.get(), i + offset))));
    nullRow_.assign(size_t(count), TAdoValue{});
    offset_ = offset;
    table_ = std::move(table);
    origins_ = std::move(origins);
    cursor_ = std::move(st);
    state_ = TDataSetState::dsBrowse;
    try {
        fetchOne();
    } catch (...) {
        Close();
        throw;
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
    ado::Statement st(db, ado::sql::normalise(sql_));
    while (st.step()) {
    }
    return sqlite3_stmt_readonly(st.get()) ? 0 : sqlite3_changes(db);
}

void TAdoQuery::Close()
{
    if (!Active())
        return;
    state_ = TDataSetState::dsInactive;
    cursor_.finalize();
    rows_.clear();
    rowids_.clear();
    written_.clear();
    buffer_.clear();
    modified_.clear();
    table_.clear();
    origins_.clear();
    pos_ = savedPos_ = -1;
    eof_ = bof_ = true;
    // Field objects stay until the next Open: a stale pointer then throws
    // "closed dataset" instead of reading freed memory.
    notify(Event::State);
    notify(Event::Data);
}

TAdoQuery::Row TAdoQuery::readRow(sqlite3_stmt *st, int offset) const
{
    Row row(fields_.size());
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
        default:
            break;
        }
    }
    return row;
}

bool TAdoQuery::fetchOne()
{
    while (cursor_) {
        bool more;
        try {
            more = cursor_.step();
        } catch (...) {
            // A failed step would start over on the next one: stop reading.
            cursor_.finalize();
            throw;
        }
        if (!more) {
            cursor_.finalize(); // releases the read lock at once
            return false;
        }
        const int64_t rowid = offset_ ? sqlite3_column_int64(cursor_.get(), 0) : 0;
        if (offset_ && written_.count(rowid))
            continue; // already in the result as this query wrote it
        rows_.push_back(readRow(cursor_.get(), offset_));
        rowids_.push_back(rowid);
        return true;
    }
    return false;
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
        if (std::find(modified_.begin(), modified_.end(), true) != modified_.end())
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
    for (auto &f : fields_)
        if (f->FieldName().size() == name.size()
            && strncasecmp(f->FieldName().data(), name.data(), name.size()) == 0)
            return f.get();
    return nullptr;
}

TField *TAdoQuery::FieldByName(std::string_view name)
{
    requireActive();
    if (TField *f = FindField(name))
        return f;
    fail("Field '" + std::string(name) + "' not found");
}

const TAdoValue &TAdoQuery::value(int index) const
{
    requireActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
        return buffer_[size_t(index)];
    if (pos_ < 0)
        return nullRow_[size_t(index)];
    return rows_[size_t(pos_)][size_t(index)];
}

void TAdoQuery::assign(int index, TAdoValue value)
{
    requireActive();
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        fail("Dataset not in edit or insert mode");
    buffer_[size_t(index)] = std::move(value);
    modified_[size_t(index)] = true;
    notify(Event::Data);
}

void TAdoQuery::Append()
{
    requireModifiable();
    checkBrowseMode();
    savedPos_ = pos_;
    buffer_ = nullRow_;
    modified_.assign(fields_.size(), false);
    state_ = TDataSetState::dsInsert;
    eof_ = bof_ = false;
    notify(Event::State);
    notify(Event::Data);
}

void TAdoQuery::Edit()
{
    requireModifiable();
    if (state_ != TDataSetState::dsBrowse)
        return;
    if (rows_.empty()) {
        Append();
        return;
    }
    buffer_ = rows_[size_t(pos_)];
    modified_.assign(fields_.size(), false);
    state_ = TDataSetState::dsEdit;
    notify(Event::State);
}

void TAdoQuery::Cancel()
{
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        return;
    if (state_ == TDataSetState::dsInsert) {
        pos_ = savedPos_;
        eof_ = rows_.empty();
        bof_ = pos_ <= 0;
    }
    state_ = TDataSetState::dsBrowse;
    buffer_.clear();
    modified_.clear();
    notify(Event::State);
    notify(Event::Data);
}

void TAdoQuery::Post()
{
    requireActive();
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        return;
    notify(Event::Update);
    if (state_ == TDataSetState::dsInsert)
        postInsert();
    else
        postEdit();
    state_ = TDataSetState::dsBrowse;
    buffer_.clear();
    modified_.clear();
    notify(Event::State);
    notify(Event::Data);
}

std::vector<int> TAdoQuery::modifiedColumns() const
{
    std::vector<int> out;
    for (size_t i = 0; i < modified_.size(); ++i)
        if (modified_[i])
            out.push_back(int(i));
    return out;
}

void TAdoQuery::bindRow(sqlite3_stmt *st, const std::vector<int> &columns, int first) const
{
    int n = first;
    for (int c : columns) {
        const TAdoValue &v = buffer_[size_t(c)];
        switch (v.type) {
        case TAdoValue::Null:
            sqlite3_bind_null(st, n);
            break;
        case TAdoValue::Integer:
            sqlite3_bind_int64(st, n, v.integer);
            break;
        case TAdoValue::Float:
            sqlite3_bind_double(st, n, v.real);
            break;
        case TAdoValue::Text:
            sqlite3_bind_text(st, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
            break;
        case TAdoValue::Blob:
            if (v.bytes.empty())
                sqlite3_bind_zeroblob(st, n, 0); // an empty picture, not NULL
            else
                sqlite3_bind_blob(st, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        ++n;
    }
}

TAdoQuery::Row TAdoQuery::reread(int64_t rowid)
{
    std::string sql = "SELECT ";
    for (size_t i = 0; i < origins_.size(); ++i)
        sql += (i ? "," : "") + ado::sql::quoteName(origins_[i]);
    sql += " FROM " + ado::sql::quoteName(table_) + " WHERE _rowid_=?";
    ado::Statement st(connection_->handle(), sql);
    sqlite3_bind_int64(st.get(), 1, rowid);
    if (!st.step())
        return buffer_; // gone already (another writer): keep what was posted
    return readRow(st.get(), 0);
}

void TAdoQuery::postInsert()
{
    sqlite3 *db = connection_->handle();
    const std::vector<int> columns = modifiedColumns();
    std::string sql = "INSERT INTO " + ado::sql::quoteName(table_);
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string names, marks;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? "," : "") + ado::sql::quoteName(origins_[size_t(columns[i])]);
            marks += i ? ",?" : "?";
        }
        sql += " (" + names + ") VALUES (" + marks + ")";
    }
    ado::Statement st(db, sql);
    bindRow(st.get(), columns, 1);
    st.step();
    const int64_t rowid = sqlite3_last_insert_rowid(db);
    written_.insert(rowid);
    rows_.push_back(reread(rowid));
    rowids_.push_back(rowid);
    pos_ = int(rows_.size()) - 1;
    eof_ = bof_ = false;
}

void TAdoQuery::postEdit()
{
    const std::vector<int> columns = modifiedColumns();
    if (columns.empty())
        return;
    sqlite3 *db = connection_->handle();
    const int64_t rowid = rowids_[size_t(pos_)];
    std::string sql = "UPDATE " + ado::sql::quoteName(table_) + " SET ";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? "," : "") + ado::sql::quoteName(origins_[size_t(columns[i])]) + "=?";
    sql += " WHERE _rowid_=?";
    ado::Statement st(db, sql);
    bindRow(st.get(), columns, 1);
    sqlite3_bind_int64(st.get(), int(columns.size()) + 1, rowid);
    st.step();
    if (sqlite3_changes(db) == 0)
        fail("Row cannot be located for updating: it was deleted meanwhile");
    written_.insert(rowid);
    rows_[size_t(pos_)] = reread(rowid);
}

void TAdoQuery::notify(Event event)
{
    // A slot may unlink a source; walk a copy.
    const std::vector<TDataSource *> sources = sources_;
    for (TDataSource *s : sources) {
        switch (event) {
        case Event::State:
            emit s->StateChange();
            break;
        case Event::Data:
            emit s->DataChange();
            break;
        case Event::Update:
            emit s->UpdateData();
            break;
        }
    }
}
