// Local calendar conversions of the C library, used by the date encoders.
// They follow the TZ of the process (tests set it to POSIX strings such as
// JST-9 or EST5EDT).
#pragma once

#include <cstdint>

namespace pm {

struct CalendarTime {
    int year = 0;    // full year
    int month = 0;   // 1-12
    int day = 0;     // 1-31
    int hour = 0, minute = 0, second = 0;
    int utcOffsetMinutes = 0;  // offset in effect at that moment (LocalTime), daylight saving included
};

// Local time of a seconds value, daylight saving as the system applies it.
// False when it cannot be represented (the caller then writes zero dates).
bool LocalTime(int64_t seconds, CalendarTime& out);

// Seconds of a calendar time read as local standard time (daylight saving not
// in effect), members normalised as mktime does. False when not representable.
bool MakeTimeStandard(const CalendarTime& local, int64_t& seconds);

// Standard-time offset of the process's time zone, minutes east of UTC.
int SystemStandardOffsetMinutes();

}  // namespace pm
