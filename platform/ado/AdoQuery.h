#pragma once

#include "platform/ado/AdoCache.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/AdoField.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class TAdoConnection;
class TDataSource;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// A query object on a connection: one statement and its result at a time,
// read through a static cursor and changed row by row (append or edit,
// assign fields by name, post). Main thread only.
//
// The cursor: Open runs the statement and reads its first row only; later
// rows are read as the cursor reaches them (Next, Last, RecordCount, RecNo)
// and then kept, so moving back re-reads nothing and opening a whole table
// to append costs the same for any size of table. Rows this query appended
// or changed are never delivered a second time. Changes made meanwhile
// through other queries may or may not show in rows not read yet. Between
// uses the connection lets go of the unread rows (see TAdoConnection): a
// changeable result reads on later by running its statement again and
// passing the rows it holds (by rowid); any other result is read to its end
// at that moment.
//
// Changing: a result whose columns all come from one table, by a plain
// select (no DISTINCT, grouping, compound or join), can be changed; each of
// its rows carries the table's rowid, and Post writes exactly that row with
// bound values (an INSERT of the assigned columns, or an UPDATE of the
// changed ones, which fails when the row no longer holds in those columns
// what was read: deleted, or changed meanwhile through another query). Other
// results are read-only (CanModify false).
//
// Conventions kept from the system this replaces: "delete * from" runs as
// "delete from"; field names are matched without regard to case; Eof turns
// true only when Next finds no further row, the last row staying current;
// Edit on an empty result appends instead; First, Next, Prior, Last, RecNo
// and Append post a pending change first (or drop it when nothing was
// assigned); a failed Post throws EDatabaseError with the database's text
// and leaves both the table and the query's Edit or Insert state as they
// were; Close and SetSQL drop an unposted change.
class TAdoQuery {
public:
    explicit TAdoQuery(TAdoConnection &connection, std::string name = {});
    ~TAdoQuery();
    TAdoQuery(const TAdoQuery &) = delete;
    TAdoQuery &operator=(const TAdoQuery &) = delete;

    // Prefixes this layer's own error texts ("Query1: Field 'X' not found").
    std::string Name;
    // Called after the current row moved: after Open of a result with rows,
    // and after a move that changed the row.
    std::function<void(TAdoQuery &)> AfterScroll;

    TAdoConnection *Connection() const { return connection_; }
    // Replaces the statement text; closes the query first.
    void SetSQL(std::string text);

    // Runs a statement that returns rows. Does nothing when already open.
    // Throws EDatabaseError (the database's text) on any failure, and for a
    // statement that returns no result set or a text holding two statements.
    void Open();
    // Closes, then runs a statement that returns no rows (DELETE, ...);
    // returns the number of rows it changed.
    int64_t ExecSQL();
    void Close();

    bool Active() const { return state_ != TDataSetState::dsInactive; }
    TDataSetState State() const { return state_; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    // No rows: answers without reading further rows (prefer it to RecordCount).
    bool IsEmpty() const;
    // Rows of the result, appended ones included; reads every remaining row.
    int RecordCount();
    // Number of the current row from 1; 0 when there is none or while appending.
    int RecNo() const;
    void SetRecNo(int recNo);

    int FieldCount() const { return fieldCount_; }
    // Throw EDatabaseError when the query is closed or the field is missing.
    TField *Fields(int index);
    TField *FieldByName(std::string_view name);
    // nullptr when the result has no such column.
    TField *FindField(std::string_view name);

    bool CanModify() const { return Active() && !shape_->table.empty(); }
    // A row is in Edit or Insert and a field of it has been assigned: Post
    // would write it.
    bool Modified() const;
    void Append();
    void Edit();
    void Post();
    void Cancel();

private:
    friend class TField;
    friend class TDataSource;
    friend class TAdoConnection;
    using Row = std::vector<TAdoValue>;
    enum class Event { State, Data, Update };

    [[noreturn]] void fail(const std::string &what) const;
    void requireActive() const;
    void requireModifiable() const;
    void checkBrowseMode();
    void start(ado::Prepared p);
    void setFields(const std::shared_ptr<const ado::ResultShape> &shape);
    ado::Lease lease(const std::string &sql);
    bool fetchOne();
    bool resume();
    // Lets go of the unread rows; true when there were some. Never throws:
    // a failure is kept and thrown by the next read.
    bool suspend() noexcept;
    void fetchAll();
    Row readRow(sqlite3_stmt *st, int offset) const;
    Row reread(int64_t rowid);
    void postInsert();
    void postEdit();
    void bindRow(sqlite3_stmt *st, const Row &row, const std::vector<int> &columns, int first) const;
    std::vector<int> modifiedColumns() const;
    const TAdoValue &value(int index) const;
    void assign(int index, TAdoValue value);
    void moveTo(int pos, bool eof, bool bof);
    void notify(Event event);

    TAdoConnection *connection_;
    std::string sql_;
    TDataSetState state_ = TDataSetState::dsInactive;
    ado::Prepared cursor_;                          // rows not read yet; empty once all are
    std::vector<std::string> bound_;                // the values cursor_ is bound to
    std::string suspendedKey_;                      // the statement to run again; "" when none
    std::unique_ptr<EDatabaseError> suspendError_;  // thrown by the next read
    std::shared_ptr<const ado::ResultShape> shape_; // of the last result opened
    std::vector<std::unique_ptr<TField>> fields_;   // the first fieldCount_ are this result's
    int fieldCount_ = 0;
    std::vector<Row> rows_;
    std::vector<int64_t> rowids_;
    std::unordered_set<int64_t> skip_; // rowids held already: posted through this result, or read before a suspend
    int pos_ = -1;
    int savedPos_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    Row buffer_; // the row in Edit or Insert
    std::vector<bool> modified_;
    Row nullRow_;
    std::vector<TDataSource *> sources_;
};
