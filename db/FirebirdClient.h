#pragma once
// What the classes of db/ share about the Firebird client: who releases an
// interface, how a status vector becomes a DatabaseError, how a database
// name is read and how the parameter blocks are built. Only db/ includes it.
#include <firebird/Interface.h>
#include <memory>
#include <string>
#include <vector>
#include "db/Database.h"

namespace velmora::db::client {

Firebird::IMaster* Master();

// Interfaces we hold are released on every path; the calls that end an
// object (detach, commit, close, free) release it themselves when they
// succeed, so the owner lets go of the pointer right after them.
struct Releaser {
    void operator()(Firebird::IReferenceCounted* object) const { object->release(); }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser>;

struct Disposer {
    void operator()(Firebird::IDisposable* object) const { object->dispose(); }
};
template <class T>
using Owned = std::unique_ptr<T, Disposer>;

// A status vector for one chain of calls; a failing call throws
// Firebird::FbException.
class Status {
public:
    Status() : raw_(Master()->getStatus()), wrapper_(raw_) {}
    ~Status() { raw_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    Firebird::ThrowStatusWrapper* get() { return &wrapper_; }

private:
    Firebird::IStatus* raw_;
    Firebird::ThrowStatusWrapper wrapper_;
};

// Firebird's own text for the errors in a status vector, every line of it.
std::string StatusText(Firebird::IStatus* status);

// True when the errors say the link to the server is gone (network read or
// write failure, lost connection, shutdown): nothing can be ended there any
// more, the handles can only be dropped.
bool ConnectionLost(Firebird::IStatus* status);

// True when the errors say another transaction holds what the statement
// needed (lock conflict, deadlock, update conflict).
bool LockConflicted(Firebird::IStatus* status);

// Runs client calls with a fresh status; Firebird's errors leave as
// DatabaseError carrying Firebird's text.
template <class Work>
decltype(auto) Guarded(Work&& work) {
    try {
        Status status;
        return work(status.get());
    } catch (const Firebird::FbException& e) {
        if (LockConflicted(e.getStatus())) throw LockConflict(StatusText(e.getStatus()));
        throw DatabaseError(StatusText(e.getStatus()));
    }
}

// A database name as the client library gets it.
struct Target {
    std::string path;   // "host:path" unchanged, or the native file path
    bool local;         // no server part: a file of this machine
};
// "host:path" names a server; "/x", "x.fdb", "C:\x" and "\\server\share\x"
// are files (a single letter before ":" is a drive). A file goes to the
// client in its default provider order (remote, embedded engine, loopback):
// a file that the local server has open is reached through that server, as
// the ERP beside us reaches it, and a file no server has open is opened
// in-process.
Target ResolveDatabaseName(const std::string& name);

// The connection parameter block for "name=value" parameters (user_name,
// password, lc_ctype, sql_role_name).
Owned<Firebird::IXpbBuilder> ConnectionBlock(Firebird::ThrowStatusWrapper* status,
                                             const std::vector<std::string>& params);

}   // namespace velmora::db::client

namespace velmora::db {

struct Connection::Impl {
    client::Ref<Firebird::IProvider> provider;
    client::Ref<Firebird::IAttachment> attachment;
    // Transactions started on this attachment: they have to be ended (or,
    // when the server is gone, forgotten) before the attachment goes.
    std::vector<Transaction*> transactions;
};

struct Transaction::Impl {
    client::Ref<Firebird::ITransaction> handle;
    Connection* startedOn = nullptr;
};

}   // namespace velmora::db
