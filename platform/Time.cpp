#include "platform/Time.h"

#include <ctime>

namespace pm {


bool LocalTime(int64_t seconds, CalendarTime& out) {
    time_t t = time_t(seconds);
    if (int64_t(t) != seconds) return false;
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return false;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    out.utcOffsetMinutes = int(tm.tm_gmtoff / 60);
    return true;
}

bool MakeTimeStandard(const CalendarTime& local, int64_t& seconds) {
    struct tm tm {};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = 0;  // read as standard time
    time_t t = mktime(&tm);
    if (t == time_t(-1)) return false;
    seconds = int64_t(t);
    return true;
}

int SystemStandardOffsetMinutes() {
    tzset();
    return int(-timezone / 60);
}

}  // namespace pm
