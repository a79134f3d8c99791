// The query object: one SQL text, run in the session's transaction, with all
// rows of a SELECT fetched into memory as text.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ibase.h>
#include "db/Database.h"
#include "db/FirebirdClient.h"
#include "platform/Text.h"

namespace velmora::db {

using client::Guarded;
using client::Ref;
using Firebird::ThrowStatusWrapper;

namespace {

constexpr unsigned kSqlDialect = 3;
constexpr unsigned kCharSetNone = 0;
// Room for any number, date or time as text.
constexpr unsigned kScalarTextLength = 64;

bool IsDateTime(unsigned type) { return type == SQL_TIMESTAMP || type == SQL_TYPE_DATE || type == SQL_TYPE_TIME; }

// Every column but the date-times and the BLOBs is asked for as nullable text in character
// set NONE: the server converts numbers itself, and text comes as the bytes
// the database holds (the ERP's ANSI code page), decoded afterwards.
// Date-times come as they are and are written the way the server's own
// cast to text writes them ("2015-03-10 14:25:30.0000"), which the message
// conversion would not ("10-MAR-2015 14:25:30.0000").
Ref<Firebird::IMessageMetadata> AsText(ThrowStatusWrapper* status, Firebird::IMessageMetadata* columns) {
    Ref<Firebird::IMetadataBuilder> builder(columns->getBuilder(status));
    const unsigned count = columns->getCount(status);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned type = columns->getType(status, i) & ~1u;
        if (IsDateTime(type)) {
            builder->setType(status, i, type + 1);
            continue;
        }
        // A BLOB comes as its id and is read whole afterwards: as text the
        // server would cut it at the column's length (a long column comment
        // in RDB$DESCRIPTION fails with "string right truncation").
        if (type == SQL_BLOB) {
            builder->setType(status, i, SQL_BLOB + 1);
            continue;
        }
        const unsigned length =
            type == SQL_TEXT || type == SQL_VARYING ? std::max(columns->getLength(status, i), 1u) : kScalarTextLength;
        builder->setType(status, i, SQL_VARYING + 1);
        builder->setSubType(status, i, 0);
        builder->setScale(status, i, 0);
        builder->setCharSet(status, i, kCharSetNone);
        builder->setLength(status, i, length);
    }
    return Ref<Firebird::IMessageMetadata>(builder->getMetadata(status));
}

std::string DateText(ISC_DATE date) {
    unsigned year, month, day;
    client::Master()->getUtilInterface()->decodeDate(date, &year, &month, &day);
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
    return text;
}

std::string TimeText(ISC_TIME time) {
    unsigned hours, minutes, seconds, fractions;
    client::Master()->getUtilInterface()->decodeTime(time, &hours, &minutes, &seconds, &fractions);
    char text[24];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", hours, minutes, seconds, fractions);
    return text;
}

std::string DateTimeText(unsigned type, const unsigned char* value) {
    ISC_DATE date;
    ISC_TIME time;
    if (type == SQL_TYPE_DATE) {
        std::memcpy(&date, value, sizeof date);
        return DateText(date);
    }
    if (type == SQL_TYPE_TIME) {
        std::memcpy(&time, value, sizeof time);
        return TimeText(time);
    }
    ISC_TIMESTAMP stamp;
    std::memcpy(&stamp, value, sizeof stamp);
    return DateText(stamp.timestamp_date) + " " + TimeText(stamp.timestamp_time);
}

// Every segment of a BLOB, as the bytes stored.
std::string ReadBlob(ThrowStatusWrapper* status, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                     const unsigned char* value) {
    ISC_QUAD id;
    std::memcpy(&id, value, sizeof id);
    Ref<Firebird::IBlob> blob(attachment->openBlob(status, transaction, &id, 0, nullptr));
    std::string content;
    char segment[32768];
    for (;;) {
        unsigned got = 0;
        const int result = blob->getSegment(status, sizeof segment, segment, &got);
        if (result != Firebird::IStatus::RESULT_OK && result != Firebird::IStatus::RESULT_SEGMENT) break;
        content.append(segment, got);
    }
    blob->close(status);
    blob.release();   // close released it
    return content;
}

struct Place {
    Firebird::IAttachment* attachment;
    Firebird::ITransaction* transaction;
};

std::optional<std::string> ReadColumn(ThrowStatusWrapper* status, Firebird::IMessageMetadata* message,
                                      const unsigned char* buffer, unsigned index, const Place& place) {
    int16_t null;
    std::memcpy(&null, buffer + message->getNullOffset(status, index), sizeof null);
    if (null) return std::nullopt;
    const unsigned char* value = buffer + message->getOffset(status, index);
    const unsigned type = message->getType(status, index) & ~1u;
    if (IsDateTime(type)) return DateTimeText(type, value);
    if (type == SQL_BLOB) {
        std::string content = ReadBlob(status, place.attachment, place.transaction, value);
        // Text BLOBs hold the database's text like any column; other BLOBs
        // are handed over as the bytes they are.
        if (message->getSubType(status, index) == isc_blob_text) return platform::AnsiToUtf8(content);
        return content;
    }
    uint16_t length;
    std::memcpy(&length, value, sizeof length);
    return platform::AnsiToUtf8(std::string_view(reinterpret_cast<const char*>(value + sizeof length), length));
}

}   // namespace

// --- Field ------------------------------------------------------------------

int32_t Field::AsInteger() const {
    if (!value_) return 0;
    const std::string text = platform::Trim(*value_);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (last - first > 1 && *first == '+' && first[1] != '-') ++first;
    int32_t number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (text.empty() || error != std::errc() || end != last)
        throw Error("'" + *value_ + "' is not a valid integer value");
    return number;
}

// --- Query ------------------------------------------------------------------

Query::Query(Connection& connection, std::string name, Transaction* transaction)
    : connection_(connection), name_(std::move(name)), transaction_(transaction) {}

Query::~Query() = default;

void Query::Close() {
    columns_.clear();
    rows_.clear();
    current_ = 0;
}

Transaction& Query::ActiveTransaction() {
    Transaction* transaction = transaction_ ? transaction_ : connection_.DefaultTransaction();
    if (!transaction) throw Error(name_ + ": no transaction to run the statement in");
    // After a disconnect this connects again with the kept settings.
    connection_.EnsureConnected();
    transaction->EnsureStarted();
    return *transaction;
}

void Query::Open() {
    Close();
    Transaction& transaction = ActiveTransaction();
    Firebird::IAttachment* attachment = connection_.impl().attachment.get();
    Firebird::ITransaction* handle = transaction.impl().handle.get();
    Guarded([&](ThrowStatusWrapper* status) {
        Ref<Firebird::IStatement> statement(attachment->prepare(status, handle, 0, sql_.c_str(), kSqlDialect,
                                                                Firebird::IStatement::PREPARE_PREFETCH_METADATA));
        Ref<Firebird::IMessageMetadata> columns(statement->getOutputMetadata(status));
        Ref<Firebird::IMessageMetadata> message = AsText(status, columns.get());
        const unsigned count = message->getCount(status);
        std::vector<std::string> names;
        for (unsigned i = 0; i < count; ++i) names.push_back(platform::UpperAscii(columns->getAlias(status, i)));

        Ref<Firebird::IResultSet> cursor(statement->openCursor(status, handle, nullptr, nullptr, message.get(), 0));
        std::vector<unsigned char> buffer(message->getMessageLength(status));
        decltype(rows_) rows;
        while (cursor->fetchNext(status, buffer.data()) == Firebird::IStatus::RESULT_OK) {
            auto& row = rows.emplace_back();
            for (unsigned i = 0; i < count; ++i)
                row.push_back(ReadColumn(status, message.get(), buffer.data(), i, {attachment, handle}));
        }
        cursor->close(status);
        cursor.release();   // close released it
        statement->free(status);
        statement.release();   // free released it
        columns_ = std::move(names);
        rows_ = std::move(rows);
    });
}

void Query::ExecSQL() {
    Close();
    Transaction& transaction = ActiveTransaction();
    Firebird::IAttachment* attachment = connection_.impl().attachment.get();
    Firebird::ITransaction* handle = transaction.impl().handle.get();
    Firebird::ITransaction* after = Guarded([&](ThrowStatusWrapper* status) {
        // " commit retain" runs here too: the server commits the given
        // transaction, keeps it open and hands back the same handle.
        return attachment->execute(status, handle, 0, sql_.c_str(), kSqlDialect, nullptr, nullptr, nullptr, nullptr);
    });
    // A plain " commit" or " rollback" ended it; the next statement starts
    // a new one.
    if (!after) transaction.Forget();
}

Field Query::FieldByName(const std::string& column) const {
    const std::string wanted = platform::UpperAscii(column);
    const auto found = std::find(columns_.begin(), columns_.end(), wanted);
    if (found == columns_.end()) throw Error(name_ + ": Field '" + column + "' not found");
    if (Eof()) return Field();
    return Field(rows_[current_][found - columns_.begin()]);
}

Field Query::FieldByIndex(size_t index) const {
    if (index >= columns_.size()) throw Error(name_ + ": there is no field number " + std::to_string(index));
    if (Eof()) return Field();
    return Field(rows_[current_][index]);
}

}   // namespace velmora::db
