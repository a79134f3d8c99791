#pragma once
// The one database session of the monitor: a connection, its one transaction
// and the query objects bound to them, over the Firebird OO API.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "platform/Error.h"

namespace velmora::db {

// Firebird's full status text is the message, so the tick's tests for
// "Unable to complete network request to host", "Error reading data" and the
// like see it unchanged.
class DatabaseError : public Error {
public:
    explicit DatabaseError(const std::string& message) : Error(message) {}
    const char* TypeName() const noexcept override { return "EDatabaseError"; }
};

// A row the statement needs is held by another transaction: another
// workstation's monitor or an ERP user editing the record has it. The
// session waits for nobody (nowait), so the statement failed whole and
// nothing of it was kept.
class LockConflict : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

class Transaction;

// IBD_BancoDados. A database name without a server part ("/x/y.fdb",
// "D:\Dados\ERP.FDB") is asked of the Firebird client in its default provider
// order: a file that the local server has open is reached through it, any
// other is opened with the embedded engine. "host:path" goes through that
// server. Windows paths go through the drive map.
class Connection {
public:
    explicit Connection(std::string name);
    ~Connection();   // disconnects (the transaction commits first)
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& Name() const { return name_; }
    void ClearParams();
    void AddParam(const std::string& param);   // "user_name=sysdba", "password=..."
    void SetLoginPrompt(bool) {}               // never asks; kept for the settings order
    void SetDatabaseName(const std::string& databaseName);
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDefaultTransaction(Transaction* transaction) { defaultTransaction_ = transaction; }
    Transaction* DefaultTransaction() const { return defaultTransaction_; }

    void Connect();   // throws DatabaseError
    // Ends the default transaction with its default action (commit) and
    // detaches; the object and its settings stay for a later reconnect.
    void Disconnect();
    bool Connected() const;
    void EnsureConnected() {
        if (!Connected()) Connect();
    }

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend class Transaction;
    std::string name_;
    std::string databaseName_;
    std::vector<std::string> params_;
    Transaction* defaultTransaction_ = nullptr;
    std::unique_ptr<Impl> impl_;
};

// IBT_BancoDados: read_committed, rec_version, nowait; default action commit
// retaining. Started by the first statement that needs it.
class Transaction {
public:
    explicit Transaction(std::string name);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    const std::string& Name() const { return name_; }
    void SetDefaultDatabase(Connection* connection) { connection_ = connection; }
    Connection* DefaultDatabase() const { return connection_; }
    void ClearParams();
    void AddParam(const std::string& param);   // "read_committed", "rec_version", "nowait"

    bool Active() const;
    void EnsureStarted();   // connects the connection first when needed
    void CommitRetaining();
    void Commit();   // ends it (used when the connection closes)

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend class Connection;
    friend class Query;
    void Forget();   // the attachment went away under it, or a statement ended it
    std::string name_;
    Connection* connection_ = nullptr;
    std::vector<std::string> params_;
    std::unique_ptr<Impl> impl_;
};

// A column value of the current row; no row reads as empty text and 0.
class Field {
public:
    Field() = default;
    Field(std::optional<std::string> value) : value_(std::move(value)) {}
    bool IsNull() const { return !value_.has_value(); }
    std::string AsString() const { return value_.value_or(""); }
    // Throws Error when the text is not a whole number in 32-bit range.
    int32_t AsInteger() const;

private:
    std::optional<std::string> value_;
};

// The query objects (qryEmpresa, qryPesquisa, qryUpdate, ...): close, set the
// SQL text, open (all rows are fetched at once) or execute, read a column of
// the current row by name (letter case ignored). Text columns arrive as the
// database holds them and are decoded from ANSI; numbers as the server writes
// them ("941230001219027", "12.50"); date-times as its cast to text does
// ("2015-03-10 14:25:30.0000", "2015-03-10", "14:25:30.0000"). ExecSQL of
// " commit retain" commits and keeps the transaction; " commit" or
// " rollback" end it, and the next statement starts a new one.
class Query {
public:
    Query(Connection& connection, std::string name, Transaction* transaction = nullptr);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& Name() const { return name_; }
    void Close();
    void SetSQL(const std::string& sql) {
        Close();
        sql_ = sql;
    }
    const std::string& SQL() const { return sql_; }
    void Open();
    void ExecSQL();

    bool IsEmpty() const { return rows_.empty(); }
    bool Eof() const { return current_ >= rows_.size(); }
    void Next() {
        if (current_ < rows_.size()) ++current_;
    }
    size_t RecordCount() const { return rows_.size(); }
    Field FieldByName(const std::string& column) const;
    // The columns in select order (names in upper case), for callers that
    // read a row whole.
    size_t FieldCount() const { return columns_.size(); }
    const std::string& FieldName(size_t index) const { return columns_.at(index); }
    Field FieldByIndex(size_t index) const;

private:
    Transaction& ActiveTransaction();
    Connection& connection_;
    std::string name_;
    Transaction* transaction_;
    std::string sql_;
    std::vector<std::string> columns_;   // upper case
    std::vector<std::vector<std::optional<std::string>>> rows_;
    size_t current_ = 0;
};

// Creates an empty database (SQL dialect 3, default character set WIN1252,
// the ANSI code page the ERP's text columns hold; forced writes off, as it
// serves tests and the demo) and leaves it closed. The name follows the
// Connection's rules: a path is created in-process by the embedded engine
// (no server has a file that does not exist yet), "host:path" asks that
// server to create the file.
void CreateDatabase(const std::string& name, const std::string& user, const std::string& password);

// Splits an SQL script into its statements: a statement ends with the line
// whose last non-blank character is ";" (which is dropped); blank lines and
// lines starting with "--" are skipped. No PSQL bodies, no "set term".
std::vector<std::string> SplitSqlScript(const std::string& script);

}   // namespace velmora::db
