#pragma once

#include <string>
#include <vector>

// The twenty tables of the database, their columns and keys, and the indices
// of the statements that run every second or on every message. The database
// creator and the tests build from this one description.
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

const std::vector<Table> &tables();
const std::vector<Index> &indices();

// CREATE TABLE and CREATE INDEX statements for an empty database.
std::vector<std::string> createStatements();

// "CREATE INDEX IF NOT EXISTS" for each index: a database made before an
// index was added gets it, one that has it is not touched.
std::vector<std::string> indexStatements();

} // namespace schema
