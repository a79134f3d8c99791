#pragma once
// The user's short date, long time and thousands separator.
#include <cstdint>
#include <optional>
#include <string>
#include "platform/FileSystem.h"

namespace velmora::platform {

struct LocaleSettings {
    std::string dateFormat;           // strftime form, "%d/%m/%Y" for pt_BR
    std::string timeFormat;           // strftime form, "%H:%M:%S" for pt_BR
    std::string thousandsSeparator;   // "." for pt_BR
};

// Read from the user's locale (LC_TIME, LC_NUMERIC) unless overridden.
LocaleSettings CurrentLocale();
void OverrideLocale(std::optional<LocaleSettings> settings);

std::string FormatShortDate(const LocalDateTime& when);
std::string FormatLongTime(const LocalDateTime& when);
// The mask "###,##0": grouped thousands, at least one digit.
std::string FormatThousands(int64_t value);

// Today's local date and time.
LocalDateTime Now();

}   // namespace velmora::platform
