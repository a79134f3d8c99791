#include "db/FirebirdClient.h"
#include <algorithm>
#include <cctype>
#include <ibase.h>
#include "platform/Paths.h"
#include "platform/Text.h"

namespace velmora::db::client {

Firebird::IMaster* Master() {
    static Firebird::IMaster* const master = Firebird::fb_get_master_interface();
    return master;
}

std::string StatusText(Firebird::IStatus* status) {
    std::vector<char> buffer(16 * 1024);
    unsigned length =
        Master()->getUtilInterface()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status);
    length = std::min<unsigned>(length, static_cast<unsigned>(buffer.size()));
    std::string text(buffer.data(), length);
    // formatStatus may count the terminating zero; the message must not.
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n')) text.pop_back();
    return platform::AnsiToUtf8(text);
}

namespace {

// The vector is a list of (kind, value) clumps; only isc_arg_gds values are
// error codes, and an isc_arg_cstring clump has a length and a text.
template <size_t N>
bool HasCode(Firebird::IStatus* status, const ISC_STATUS (&codes)[N]) {
    const intptr_t* item = status->getErrors();
    while (*item != isc_arg_end) {
        const intptr_t kind = *item++;
        if (kind == isc_arg_gds && std::find(std::begin(codes), std::end(codes), *item) != std::end(codes)) return true;
        item += kind == isc_arg_cstring ? 2 : 1;
    }
    return false;
}

}   // namespace

bool ConnectionLost(Firebird::IStatus* status) {
    static const ISC_STATUS lostCodes[] = {
        isc_network_error, isc_net_read_err, isc_net_write_err, isc_lost_db_connection,
        isc_conn_lost,     isc_att_shutdown, isc_shutdown,      isc_net_server_shutdown,
    };
    return HasCode(status, lostCodes);
}

bool LockConflicted(Firebird::IStatus* status) {
    static const ISC_STATUS conflictCodes[] = {isc_lock_conflict, isc_deadlock, isc_update_conflict};
    return HasCode(status, conflictCodes);
}

Target ResolveDatabaseName(const std::string& name) {
    const size_t colon = name.find(':');
    const bool drive = colon == 1 && std::isalpha(static_cast<unsigned char>(name[0]));
    const bool rooted = !name.empty() && platform::IsSeparator(name[0]);
    if (colon == std::string::npos || colon == 0 || drive || rooted) return {platform::ToNative(name), true};
    return {name, false};
}

Owned<Firebird::IXpbBuilder> ConnectionBlock(Firebird::ThrowStatusWrapper* status,
                                             const std::vector<std::string>& params) {
    Owned<Firebird::IXpbBuilder> dpb(
        Master()->getUtilInterface()->getXpbBuilder(status, Firebird::IXpbBuilder::DPB, nullptr, 0));
    for (const std::string& param : params) {
        const size_t equals = param.find('=');
        const std::string key = platform::UpperAscii(platform::Trim(param.substr(0, equals)));
        const std::string value = equals == std::string::npos ? "" : param.substr(equals + 1);
        if (key == "USER_NAME") dpb->insertString(status, isc_dpb_user_name, value.c_str());
        else if (key == "PASSWORD") dpb->insertString(status, isc_dpb_password, value.c_str());
        else if (key == "LC_CTYPE") dpb->insertString(status, isc_dpb_lc_ctype, value.c_str());
        else if (key == "SQL_ROLE_NAME") dpb->insertString(status, isc_dpb_sql_role_name, value.c_str());
        else throw Error("Unknown database parameter \"" + param + "\"");
    }
    return dpb;
}

}   // namespace velmora::db::client
