#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>
#include <memory>

namespace velmora::platform {

namespace {

std::optional<LocaleSettings>& Settings() {
    static std::optional<LocaleSettings> settings;
    return settings;
}

struct LocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};

// The user's settings from the environment (LC_ALL, LC_TIME, LC_NUMERIC,
// LANG), read without touching the process-wide locale, which Qt and the
// C library's number formatting rely on staying "C".
LocaleSettings ReadUserLocale() {
    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree> user(
        newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", nullptr));
    if (!user) user.reset(newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "C", nullptr));
    LocaleSettings settings{"%m/%d/%y", "%H:%M:%S", ","};
    if (!user) return settings;
    settings.dateFormat = nl_langinfo_l(D_FMT, user.get());
    settings.timeFormat = nl_langinfo_l(T_FMT, user.get());
    settings.thousandsSeparator = nl_langinfo_l(THOUSEP, user.get());
    // The C locale groups nothing; a counter still shows its thousands.
    if (settings.thousandsSeparator.empty()) settings.thousandsSeparator = ",";
    return settings;
}

std::string Format(const std::string& format, const LocalDateTime& when) {
    std::tm tm{};
    tm.tm_year = when.year - 1900;
    tm.tm_mon = when.month - 1;
    tm.tm_mday = when.day;
    tm.tm_hour = when.hour;
    tm.tm_min = when.minute;
    tm.tm_sec = when.second;
    // Week day and year day for formats that name them; timegm leaves the
    // fields as they are for a valid date and ignores the time zone.
    std::tm normalised = tm;
    if (timegm(&normalised) != -1) {
        tm.tm_wday = normalised.tm_wday;
        tm.tm_yday = normalised.tm_yday;
    }
    char buffer[256];
    size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &tm);
    return std::string(buffer, length);
}

}   // namespace

LocaleSettings CurrentLocale() {
    // The locale is read once, as a Windows program reads its settings at start.
    if (!Settings()) Settings() = ReadUserLocale();
    return *Settings();
}

void OverrideLocale(std::optional<LocaleSettings> settings) { Settings() = std::move(settings); }

std::string FormatShortDate(const LocalDateTime& when) { return Format(CurrentLocale().dateFormat, when); }

std::string FormatLongTime(const LocalDateTime& when) { return Format(CurrentLocale().timeFormat, when); }

std::string FormatThousands(int64_t value) {
    const std::string separator = CurrentLocale().thousandsSeparator;
    // The magnitude as unsigned, so that the most negative value has one too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

LocalDateTime Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}   // namespace velmora::platform
