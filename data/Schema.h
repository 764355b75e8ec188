#pragma once

#include <string>
#include <vector>

// The twenty tables of the database, their columns and keys, the engine's
// own table beside them, and the indices of the statements that run every
// second or on every message. The database creator and the tests build from
// this one description.
namespace schema {

enum class Kind {
    Text,     // compared and sorted in Chinese (pinyin) order, case ignored
    DateTime, // ISO-8601 text to the second; NULL is date-time zero
    Integer,
    Picture, // the bytes of a bitmap
};

struct Column {
    const char *name;
    Kind kind;
    bool unique; // a key the database enforces (and never NULL)
};

struct Table {
    const char *name;
    std::vector<Column> columns;
};

struct Index {
    const char *name;
    const char *table;
    std::vector<const char *> columns;
};

// The twenty tables the desk and the engine share.
const std::vector<Table> &tables();
// The engine's own: sms_received remembers each received message stored in
// sms_toread (DIGEST, the digest of its PDU; STORED, when; QUEUED, 1 once
// its entry of the READ list is on disk, 0 until then, NULL for a row
// stored before the column came), so that a message read again from the
// modem is neither stored nor listed twice.
const std::vector<Table> &engineTables();
// Columns of the engine's tables that came after the table itself.
struct AddedColumn {
    const char *table;
    const char *column;
};
const std::vector<AddedColumn> &addedColumns();
const std::vector<Index> &indices();

// CREATE TABLE and CREATE INDEX statements for an empty database.
std::vector<std::string> createStatements();

// "CREATE TABLE IF NOT EXISTS" for the engine's tables and "CREATE INDEX IF
// NOT EXISTS" for each index: a database made before they were added gets
// them, one that has them is not touched.
std::vector<std::string> upgradeStatements();
// "ALTER TABLE ... ADD COLUMN" for added, to run on a table that lacks it.
std::string addColumnStatement(const AddedColumn &added);

} // namespace schema
