#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <locale.h>

#include <climits>
#include <ctime>

#include "tests/platform/Helpers.h"

namespace velmora::platform {
namespace {

using test::ScopedEnv;

const LocaleSettings kBrazil{"%d/%m/%Y", "%H:%M:%S", "."};
const LocaleSettings kComma{"%m/%d/%Y", "%I:%M:%S %p", ","};

class LocaleTest : public ::testing::Test {
protected:
    ~LocaleTest() override { OverrideLocale(std::nullopt); }
};

TEST_F(LocaleTest, FormatsWithTheInjectedSettings) {
    const LocalDateTime when{2015, 3, 10, 14, 5, 8};
    struct Case {
        LocaleSettings settings;
        std::string date, time, thousand;
    } cases[] = {
        {kBrazil, "10/03/2015", "14:05:08", "1.000"},
        {kComma, "03/10/2015", "02:05:08 PM", "1,000"},
    };
    for (const auto& c : cases) {
        OverrideLocale(c.settings);
        EXPECT_EQ(FormatShortDate(when), c.date);
        EXPECT_EQ(FormatLongTime(when), c.time);
        EXPECT_EQ(FormatThousands(1000), c.thousand);
    }
    OverrideLocale(kBrazil);
    EXPECT_EQ(FormatShortDate({2024, 2, 29, 0, 0, 0}) + " " + FormatLongTime({2024, 2, 29, 0, 0, 0}),
              "29/02/2024 00:00:00");
}

TEST_F(LocaleTest, GroupsThousandsWithAtLeastOneDigit) {
    OverrideLocale(kBrazil);
    struct Case {
        int64_t value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1234, "1.234"},
        {100000, "100.000"},
        {1234567, "1.234.567"},
        {-1, "-1"},
        {-999, "-999"},
        {-1234567, "-1.234.567"},
        {2147483647, "2.147.483.647"},
        {INT64_MIN, "-9.223.372.036.854.775.808"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.value), c.text) << c.value;

    OverrideLocale(LocaleSettings{"%d/%m/%Y", "%H:%M:%S", "\xC2\xA0"});   // a multi-byte separator
    EXPECT_EQ(FormatThousands(-1234567), "-1\xC2\xA0"
                                         "234\xC2\xA0"
                                         "567");
}

TEST_F(LocaleTest, ReadsTheUserLocaleFromTheEnvironment) {
    // The C locale is always there; it groups nothing, so the separator
    // falls back to a comma.
    ScopedEnv all("LC_ALL", "C");
    OverrideLocale(std::nullopt);
    const LocaleSettings c = CurrentLocale();
    EXPECT_EQ(c.dateFormat, "%m/%d/%y");
    EXPECT_EQ(c.timeFormat, "%H:%M:%S");
    EXPECT_EQ(c.thousandsSeparator, ",");

    // A locale that is not installed falls back to the C settings.
    ScopedEnv missing("LC_ALL", "xx_YY.UTF-8");
    OverrideLocale(std::nullopt);
    EXPECT_EQ(CurrentLocale().thousandsSeparator, ",");
}

TEST_F(LocaleTest, ReadsBrazilianSettingsWhenInstalled) {
    ScopedEnv all("LC_ALL", "pt_BR.UTF-8");
    OverrideLocale(std::nullopt);
    locale_t brazil = newlocale(LC_TIME_MASK, "pt_BR.UTF-8", nullptr);
    if (brazil == nullptr) GTEST_SKIP() << "pt_BR.UTF-8 not installed";
    freelocale(brazil);
    // What the user sees, whatever form the locale writes its formats in
    // (glibc's long time is "%T").
    const LocalDateTime when{2019, 3, 25, 14, 37, 22};
    EXPECT_EQ(FormatShortDate(when), "25/03/2019");
    EXPECT_EQ(FormatLongTime(when), "14:37:22");
    EXPECT_EQ(FormatThousands(1234), "1.234");
    EXPECT_EQ(CurrentLocale().thousandsSeparator, ".");
}

TEST_F(LocaleTest, NowIsTheLocalTime) {
    std::time_t before = std::time(nullptr);
    LocalDateTime now = Now();
    std::tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(now.year, local.tm_year + 1900);
    EXPECT_EQ(now.month, local.tm_mon + 1);
    EXPECT_EQ(now.day, local.tm_mday);
    EXPECT_EQ(now.hour, local.tm_hour);
    EXPECT_NEAR(now.minute * 60 + now.second, local.tm_min * 60 + local.tm_sec, 2);
}

}   // namespace
}   // namespace velmora::platform
