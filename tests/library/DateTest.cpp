#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <windows.h>

#include "library/Date.h"

namespace {

Date Make(int32_t year, int32_t month, int32_t day, int32_t hour = 0, int32_t minute = 0, int32_t second = 0,
          int32_t millisecond = 0)
{
    Date date;
    date.year = year, date.month = month, date.day = day;
    date.hour = hour, date.minute = minute, date.second = second, date.millisecond = millisecond;
    return date;
}

std::wstring Text(const WString& s)
{
    return std::wstring(s.buffer, s.length);
}

}  // namespace

TEST(Date, FormatWritesFixedWidthFieldsExceptTheYear)
{
    EXPECT_EQ(Text(Date().Format()), L"0/01/01 00:00:00");
    EXPECT_EQ(Text(Make(2026, 12, 8, 4, 42, 17).Format()), L"2026/12/08 04:42:17");
    EXPECT_EQ(Text(Make(999, 7, 4, 9, 5, 3).Format()), L"999/07/04 09:05:03");
    EXPECT_EQ(Text(Make(12345, 1, 123, 23, -5, 100, 999).Format()), L"12345/01/23 23:00:00");
}

TEST(Date, EveryTokenWritesItsOwnFieldAndCaseCounts)
{
    const wchar_t* all = L"#+Y #Y #+M #M #+D #D #+H #H #+h #h #+m #m #+s #s #x #+y #y #+z #z #a #A";
    EXPECT_EQ(Text(Make(2026, 3, 7, 0, 4, 9, 56).Format(all)),
              L"26 2026 03 3 07 7 12 12 00 0 04 4 09 9 0 05 5 056 56 am AM");
    EXPECT_EQ(Text(Make(5, 11, 30, 12, 59, 0, 1234).Format(all)),
              L"05 5 11 11 30 30 12 12 12 12 59 59 00 0 12 23 123 234 1234 pm PM");
    EXPECT_EQ(Text(Make(-3, 1, 1, 23, 0, 0, 7).Format(all)),
              L"00 -3 01 1 01 1 11 11 23 23 00 0 00 0 0 00 0 007 7 pm PM");
    EXPECT_EQ(Text(Make(2024, 12, 1).Format(L"#W#W #w")), L"66 #w");
}

// Windows names the weekday of a day (0 Sunday) and does not give back a day
// that does not exist (Wine moves 29 February of a common year to 1 March
// instead of refusing it), so it checks every digit of the table and every
// month length from 1901 to 2099.
TEST(Date, WeekdayAgreesWithWindowsOnEveryDayOfTheCycle)
{
    Date date;
    int32_t mismatches = 0;
    for (date.year = 1901; date.year <= 2099; ++date.year) {
        for (date.month = 1; date.month <= 12; ++date.month) {
            for (date.day = 1; date.day <= 31; ++date.day) {
                SYSTEMTIME asked = {static_cast<WORD>(date.year), static_cast<WORD>(date.month), 0,
                                    static_cast<WORD>(date.day), 0, 0, 0, 0};
                SYSTEMTIME back = {};
                FILETIME time;
                const bool converted = SystemTimeToFileTime(&asked, &time) && FileTimeToSystemTime(&time, &back);
                const bool exists = converted && back.wMonth == asked.wMonth && back.wDay == asked.wDay;
                const int32_t expected = exists ? (back.wDayOfWeek + 6) % 7 : -1;
                if (date.Weekday() != expected && ++mismatches <= 5)
                    ADD_FAILURE() << date.year << "-" << date.month << "-" << date.day << ": " << date.Weekday()
                                  << " instead of " << expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Date, NoWeekdayOutsideTheCycleOrForImpossibleFields)
{
    for (const Date& date : {Make(1900, 12, 31), Make(2100, 1, 1), Make(INT_MIN, 1, 1), Make(INT_MAX, 1, 1),
                             Make(2024, 0, 1), Make(2024, 13, 1), Make(2024, 1, 0), Make(2024, 1, 32)})
        EXPECT_EQ(Text(date.Format(L"#W")), L"-1") << Text(date.Format(L"#Y-#M-#D"));
    EXPECT_FALSE(Date::IsLeapYear(1900));
    EXPECT_EQ(Date::DaysInMonth(13, 2024), 0);
}
