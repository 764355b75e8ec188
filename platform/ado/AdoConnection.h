#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
class TAdoQuery;

namespace ado {

// What a connection takes from its connection string.
struct ConnectionSettings {
    std::string dataSource; // the database file; a bare name lies in the current directory
    std::string password;   // the file's key; empty for a file without one
    bool readOnly = false;  // Mode names Read without Write
    int localeId = 2052;
};

// Parses "Key=Value" pairs separated by ";". Keys are matched without regard
// to case or surrounding blanks; a value may stand between double or single
// quotes (a doubled quote inside stands for one). Used: "Data Source",
// "Jet OLEDB:Database Password", "Mode", "Locale Identifier"; other keys
// (Provider, User ID, the other Jet OLEDB keys) are accepted and ignored.
// Throws EDatabaseError for a pair without "=", an unclosed quote, no Data
// Source, or a Locale Identifier other than 2052 (the text collation is
// Chinese whatever the string says, so another one would be a lie).
ConnectionSettings parseConnectionString(std::string_view text);

} // namespace ado

// The connection to one database file (SQLCipher, encrypted with the
// password of the connection string). Main thread only, like its queries.
class TAdoConnection {
public:
    TAdoConnection() = default;
    explicit TAdoConnection(std::string connectionString);
    // Closes its queries first, then the file.
    ~TAdoConnection();
    TAdoConnection(const TAdoConnection &) = delete;
    TAdoConnection &operator=(const TAdoConnection &) = delete;

    std::string ConnectionString;

    // Opens the file named by Data Source with the password as key and reads
    // it once to prove the key. Never creates the file. A missing file, a
    // wrong password or a file another program holds locked throws
    // EDatabaseError with the database's own text. Does nothing when open.
    void Open();
    // Closes every open query on this connection (unposted changes dropped),
    // then the file.
    void Close();
    bool Connected() const { return db_ != nullptr; }
    void SetConnected(bool value) { value ? Open() : Close(); }

    // Runs one statement that needs no result set (a PRAGMA, a CREATE, ...);
    // returns the number of rows it changed. Throws EDatabaseError.
    int64_t Execute(std::string_view sql);

    // Makes a new database file at path holding what statements create, keyed
    // with password, in one transaction. Throws EDatabaseError when the file
    // exists already or a statement fails; a failed attempt leaves no file.
    // Only the database creator calls this; the system itself never does.
    static void CreateDatabase(const std::string &path, const std::string &password,
                               const std::vector<std::string> &statements);

private:
    friend class TAdoQuery;
    sqlite3 *handle() const;
    void attach(TAdoQuery *query);
    void detach(TAdoQuery *query);

    sqlite3 *db_ = nullptr;
    std::vector<TAdoQuery *> queries_;
};
