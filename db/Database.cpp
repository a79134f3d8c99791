// The connection and its transaction over the Firebird OO API.
#include "db/Database.h"
#include <algorithm>
#include <utility>
#include <ibase.h>
#include "db/FirebirdClient.h"
#include "platform/Text.h"

namespace velmora::db {

using client::Guarded;
using client::Ref;
using Firebird::ThrowStatusWrapper;

// --- Connection -------------------------------------------------------------

Connection::Connection(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
    try {
        Disconnect();
    } catch (const Error&) {
        // A destructor cannot report; whatever the server still holds for us
        // is dropped below and rolled back by the server.
    }
    // Whichever of the two objects goes first unhooks the other.
    for (Transaction* transaction : std::exchange(impl_->transactions, {})) {
        transaction->Forget();
        if (transaction->connection_ == this) transaction->connection_ = nullptr;
    }
    if (defaultTransaction_ && defaultTransaction_->connection_ == this) defaultTransaction_->connection_ = nullptr;
    impl_->attachment.reset();
}

void Connection::ClearParams() { params_.clear(); }

void Connection::AddParam(const std::string& param) { params_.push_back(param); }

void Connection::SetDatabaseName(const std::string& databaseName) { databaseName_ = databaseName; }

bool Connection::Connected() const { return impl_->attachment != nullptr; }

void Connection::Connect() {
    if (Connected()) return;
    const client::Target target = client::ResolveDatabaseName(databaseName_);
    Guarded([&](ThrowStatusWrapper* status) {
        if (!impl_->provider) impl_->provider.reset(client::Master()->getDispatcher());
        auto dpb = client::ConnectionBlock(status, params_);
        impl_->attachment.reset(impl_->provider->attachDatabase(status, target.path.c_str(),
                                                                dpb->getBufferLength(status), dpb->getBuffer(status)));
    });
}

void Connection::Disconnect() {
    if (!Connected()) return;
    try {
        client::Status status;
        // Every open transaction ends with its default action, commit.
        while (!impl_->transactions.empty()) {
            Transaction* transaction = impl_->transactions.back();
            transaction->impl().handle->commit(status.get());
            transaction->impl().handle.release();   // commit released it
            transaction->impl().startedOn = nullptr;
            impl_->transactions.pop_back();
        }
        impl_->attachment->detach(status.get());
        impl_->attachment.release();   // detach released it
        return;
    } catch (const Firebird::FbException& e) {
        if (!client::ConnectionLost(e.getStatus())) throw DatabaseError(client::StatusText(e.getStatus()));
        // The server or the network went away: nothing can be committed or
        // detached any more, so we only let go of our handles. The settings
        // stay and the next statement connects again.
    }
    for (Transaction* transaction : std::exchange(impl_->transactions, {})) transaction->Forget();
    impl_->attachment.reset();
}

// --- Transaction ------------------------------------------------------------

Transaction::Transaction(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {}

Transaction::~Transaction() {
    if (Active()) {
        try {
            Commit();   // the default action
        } catch (const Error&) {
            // Nothing can report from here; the server rolls back what it
            // still holds once the handle is released below.
        }
    }
    Forget();
    if (connection_ && connection_->defaultTransaction_ == this) connection_->SetDefaultTransaction(nullptr);
}

void Transaction::ClearParams() { params_.clear(); }

void Transaction::AddParam(const std::string& param) { params_.push_back(param); }

bool Transaction::Active() const { return impl_->handle != nullptr; }

namespace {

std::vector<unsigned char> TransactionBlock(const std::vector<std::string>& params) {
    std::vector<unsigned char> tpb{isc_tpb_version3};
    bool accessGiven = false;
    for (const std::string& param : params) {
        const std::string key = platform::UpperAscii(platform::Trim(param));
        unsigned char item;
        if (key == "READ_COMMITTED") item = isc_tpb_read_committed;
        else if (key == "REC_VERSION") item = isc_tpb_rec_version;
        else if (key == "NO_REC_VERSION") item = isc_tpb_no_rec_version;
        else if (key == "NOWAIT") item = isc_tpb_nowait;
        else if (key == "WAIT") item = isc_tpb_wait;
        else if (key == "CONCURRENCY") item = isc_tpb_concurrency;
        else if (key == "CONSISTENCY") item = isc_tpb_consistency;
        else if (key == "READ") item = isc_tpb_read;
        else if (key == "WRITE") item = isc_tpb_write;
        else throw Error("Unknown transaction parameter \"" + param + "\"");
        accessGiven = accessGiven || item == isc_tpb_read || item == isc_tpb_write;
        tpb.push_back(item);
    }
    // The monitor writes; a parameter list that does not say otherwise
    // gets a read-write transaction.
    if (!accessGiven) tpb.insert(tpb.begin() + 1, isc_tpb_write);
    return tpb;
}

}   // namespace

void Transaction::EnsureStarted() {
    if (Active()) return;
    if (!connection_) throw Error(name_ + ": the transaction has no database");
    connection_->EnsureConnected();
    const std::vector<unsigned char> tpb = TransactionBlock(params_);
    Guarded([&](ThrowStatusWrapper* status) {
        impl_->handle.reset(
            connection_->impl().attachment->startTransaction(status, static_cast<unsigned>(tpb.size()), tpb.data()));
    });
    impl_->startedOn = connection_;
    connection_->impl().transactions.push_back(this);
}

void Transaction::CommitRetaining() {
    if (!Active()) return;   // nothing was done in it yet
    Guarded([&](ThrowStatusWrapper* status) { impl_->handle->commitRetaining(status); });
}

void Transaction::Commit() {
    if (!Active()) return;
    Guarded([&](ThrowStatusWrapper* status) { impl_->handle->commit(status); });
    impl_->handle.release();   // commit released it
    Forget();
}

void Transaction::Forget() {
    impl_->handle.reset();
    if (Connection* owner = impl_->startedOn) {
        auto& list = owner->impl().transactions;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        impl_->startedOn = nullptr;
    }
}

// --- Creating --------------------------------------------------------------

void CreateDatabase(const std::string& name, const std::string& user, const std::string& password) {
    const client::Target target = client::ResolveDatabaseName(name);
    Guarded([&](ThrowStatusWrapper* status) {
        Ref<Firebird::IProvider> provider(client::Master()->getDispatcher());
        auto dpb = client::ConnectionBlock(status, {"user_name=" + user, "password=" + password});
        dpb->insertInt(status, isc_dpb_sql_dialect, 3);
        dpb->insertString(status, isc_dpb_set_db_charset, "WIN1252");
        // Only tests and the demo create databases: no sync on every commit.
        dpb->insertInt(status, isc_dpb_force_write, 0);
        Ref<Firebird::IAttachment> attachment(provider->createDatabase(
            status, target.path.c_str(), dpb->getBufferLength(status), dpb->getBuffer(status)));
        attachment->detach(status);
        attachment.release();
    });
}

std::vector<std::string> SplitSqlScript(const std::string& script) {
    std::vector<std::string> statements;
    std::string current;
    size_t start = 0;
    while (start <= script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        const std::string line = platform::Trim(std::string_view(script).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.starts_with("--")) continue;
        if (!current.empty()) current += '\n';
        current += line;
        if (current.back() == ';') {
            current.pop_back();
            statements.push_back(current);
            current.clear();
        }
    }
    if (!platform::Trim(current).empty()) statements.push_back(current);
    return statements;
}

}   // namespace velmora::db
