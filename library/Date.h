#pragma once

// A calendar date and clock time with millisecond precision, written out
// through "#" tokens. The user sets the fields directly; nothing validates
// or normalises them, and every token writes whatever value it finds.

#include <cstdint>

#include "TString.h"

class Date
{
public:
    Date();
    virtual ~Date() = default;

    // "2026/12/08 04:42:17": year, month, day, 24-hour clock.
    [[nodiscard]] WString Format() const;

    // Writes out `format`, replacing, one token after the other in this
    // order, every occurrence of:
    //   #+Y year, two digits       #Y year
    //   #+M month, two digits      #M month
    //   #W  weekday (0 Monday to 6 Sunday; -1 when Weekday() has none)
    //   #+D day, two digits        #D day
    //   #+H 12-hour clock hour, two digits   #H 12-hour clock hour
    //   #+h hour, two digits       #h hour
    //   #+m minute, two digits     #m minute
    //   #+s second, two digits     #s second
    //   #x  tenths of a second
    //   #+y hundredths, two digits #y hundredths
    //   #+z millisecond, three digits        #z millisecond
    //   #a  "am" or "pm"           #A  "AM" or "PM"
    // Two and three digits mean: 0 for negative values, leading zeros for
    // short ones, and only the last digits of long ones.
    [[nodiscard]] WString Format(const wchar_t* format) const;

    // 0 Monday to 6 Sunday, or -1 for a day that does not exist and for a
    // year outside 1901 to 2099, where the 28-year cycle of the table no
    // longer follows the calendar.
    [[nodiscard]] int32_t Weekday() const;

    // The local date and time of this moment.
    [[nodiscard]] static Date Now();

    [[nodiscard]] static bool IsLeapYear(int32_t year);
    // 0 for a month outside 1 to 12.
    [[nodiscard]] static int32_t DaysInMonth(int32_t month, int32_t year);

private:
    // 28 rows of 12 digits: the weekday of the first day of each month of
    // the years 2021 to 2048; the calendar repeats them every 28 years
    // between 1901 and 2099.
    WString weekdayTable;

public:
    int32_t millisecond = 0;
    int32_t second = 0;
    int32_t minute = 0;
    int32_t hour = 0;  // 0 to 23
    int32_t day = 1;
    int32_t month = 1;
    int32_t year = 0;  // in full, 2026 say
};
