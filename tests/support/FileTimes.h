#pragma once
// Sets a file's last-write time to a local date-time (plus nanoseconds), the
// way a program file or a copy in the update folder carries its date.
#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace velmora::test {

inline void SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second,
                              long nanoseconds = 0) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    const timespec times[2] = {{when, nanoseconds}, {when, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

}   // namespace velmora::test
