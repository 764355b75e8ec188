#include "platform/ado/AdoQuery.h"

#include "platform/ado/AdoConnection.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/AdoSql.h"

#include <algorithm>
#include <sqlite3.h>

// The writing half of TAdoQuery: field values, Append, Edit, Post, Cancel.

const TAdoValue &TAdoQuery::value(int index) const
{
    requireActive();
    if (index >= fieldCount_)
        fail("The field does not belong to the open result");
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
        return buffer_[size_t(index)];
    if (pos_ < 0)
        return nullRow_[size_t(index)];
    return rows_[size_t(pos_)][size_t(index)];
}

void TAdoQuery::assign(int index, TAdoValue value)
{
    requireActive();
    if (index >= fieldCount_)
        fail("The field does not belong to the open result");
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
        fail("Dataset not in edit or insert mode");
    buffer_[size_t(index)] = std::move(value);
    modified_[size_t(index)] = true;
    notify(Event::Data);
}

bool TAdoQuery::Modified() const { return std::find(modified_.begin(), modified_.end(), true) != modified_.end(); }

void TAdoQuery::Append()
{
    requireModifiable();
    checkBrowseMode();
    savedPos_ = pos_;
    buffer_ = nullRow_;
    modified_.assign(size_t(fieldCount_), false);
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
    modified_.assign(size_t(fieldCount_), false);
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

void TAdoQuery::bindRow(sqlite3_stmt *st, const Row &row, const std::vector<int> &columns, int first) const
{
    int n = first;
    for (int c : columns) {
        const TAdoValue &v = row[size_t(c)];
        switch (v.type) {
        case TAdoValue::Null: sqlite3_bind_null(st, n); break;
        case TAdoValue::Integer: sqlite3_bind_int64(st, n, v.integer); break;
        case TAdoValue::Float: sqlite3_bind_double(st, n, v.real); break;
        case TAdoValue::Text: sqlite3_bind_text(st, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT); break;
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
    const ado::ResultShape &shape = *shape_;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < shape.origins.size(); ++i)
        sql += (i ? "," : "") + ado::sql::quoteName(shape.origins[i]);
    sql += " FROM " + ado::sql::quoteName(shape.table) + " WHERE _rowid_=?";
    ado::Lease st = lease(sql);
    sqlite3_bind_int64(st.get(), 1, rowid);
    if (!st.step())
        return buffer_; // gone already (another writer): keep what was posted
    return readRow(st.get(), 0);
}

void TAdoQuery::postInsert()
{
    sqlite3 *db = connection_->handle();
    const ado::ResultShape &shape = *shape_;
    const std::vector<int> columns = modifiedColumns();
    std::string sql = "INSERT INTO " + ado::sql::quoteName(shape.table);
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string names, marks;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? "," : "") + ado::sql::quoteName(shape.origins[size_t(columns[i])]);
            marks += i ? ",?" : "?";
        }
        sql += " (" + names + ") VALUES (" + marks + ")";
    }
    ado::Lease st = lease(sql);
    bindRow(st.get(), buffer_, columns, 1);
    connection_->writing([&] { st.step(); });
    const int64_t rowid = sqlite3_last_insert_rowid(db);
    skip_.insert(rowid);
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
    const ado::ResultShape &shape = *shape_;
    const int64_t rowid = rowids_[size_t(pos_)];
    std::string sql = "UPDATE " + ado::sql::quoteName(shape.table) + " SET ";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? "," : "") + ado::sql::quoteName(shape.origins[size_t(columns[i])]) + "=?";
    // As ADO does by default, the row must still hold what was read in the
    // columns being changed: another writer's change is not overwritten
    // unseen, and a row that is gone is not silently missed.
    sql += " WHERE _rowid_=?";
    for (int c : columns)
        sql += " AND " + ado::sql::quoteName(shape.origins[size_t(c)]) + " IS ?";
    ado::Lease st = lease(sql);
    bindRow(st.get(), buffer_, columns, 1);
    sqlite3_bind_int64(st.get(), int(columns.size()) + 1, rowid);
    bindRow(st.get(), rows_[size_t(pos_)], columns, int(columns.size()) + 2);
    const int before = sqlite3_total_changes(db);
    connection_->writing([&] { st.step(); });
    if (sqlite3_total_changes(db) == before)
        fail("Row cannot be located for updating. Some values may have been changed since it was last read.");
    skip_.insert(rowid);
    rows_[size_t(pos_)] = reread(rowid);
}
