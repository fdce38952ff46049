#include "Date.h"

#include <windows.h>

namespace {

// The weekday of the first of each month, January to December, 0 Monday
// to 6 Sunday; one row a year, in two halves of 14 years.
constexpr wchar_t FirstHalfOfTable[] =
    L"400351362402"  // 2021
    L"511462403513"  // 2022
    L"622503514624"  // 2023
    L"034025036146"  // 2024
    L"255136140250"  // 2025
    L"366240251361"  // 2026
    L"400351362402"  // 2027
    L"512503514624"  // 2028
    L"033614625035"  // 2029
    L"144025036146"  // 2030
    L"255136140250"  // 2031
    L"360351362402"  // 2032
    L"511462403513"  // 2033
    L"622503514624";  // 2034
constexpr wchar_t SecondHalfOfTable[] =
    L"033614625035"  // 2035
    L"145136140250"  // 2036
    L"366240251361"  // 2037
    L"400351362402"  // 2038
    L"511462403513"  // 2039
    L"623614625035"  // 2040
    L"144025036146"  // 2041
    L"255136140250"  // 2042
    L"366240251361"  // 2043
    L"401462403513"  // 2044
    L"622503514624"  // 2045
    L"033614625035"  // 2046
    L"144025036146"  // 2047
    L"256240251361";  // 2048
static_assert(sizeof FirstHalfOfTable / sizeof(wchar_t) == 168 + 1);
static_assert(sizeof SecondHalfOfTable / sizeof(wchar_t) == 168 + 1);

constexpr int32_t TableFirstYear = 2021;
constexpr int32_t CycleYears = 28;
// The cycle breaks at the century years that are not leap years.
constexpr int32_t CycleHoldsFrom = 1901;
constexpr int32_t CycleHoldsUntil = 2099;

WString Decimal(int32_t value)
{
    return WString(value);
}

WString TwoDigits(int32_t value)
{
    if (value < 0)
        return WString(L"00");
    if (value < 10)
        return L"0" + Decimal(value);
    return Decimal(value).Right(2);
}

WString ThreeDigits(int32_t value)
{
    if (value < 0)
        return WString(L"000");
    if (value < 10)
        return L"00" + Decimal(value);
    if (value < 100)
        return L"0" + Decimal(value);
    return Decimal(value).Right(3);
}

int32_t TwelveHourClock(int32_t hour)
{
    if (hour == 0)
        return 12;
    return hour >= 13 ? hour - 12 : hour;
}

bool BeforeNoon(int32_t hour)
{
    return hour >= 0 && hour < 12;
}

}  // namespace

Date::Date()
    : weekdayTable(WString(FirstHalfOfTable) + SecondHalfOfTable)
{
}

Date Date::Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    Date date;
    date.year = now.wYear;
    date.month = now.wMonth;
    date.day = now.wDay;
    date.hour = now.wHour;
    date.minute = now.wMinute;
    date.second = now.wSecond;
    date.millisecond = now.wMilliseconds;
    return date;
}

WString Date::Format() const
{
    return Format(L"#Y/#+M/#+D #+h:#+m:#+s");
}

// No value holds a "#", so a replacement never forms a new token with the
// text around it.
WString Date::Format(const wchar_t* format) const
{
    WString text(format);
    text.Replace(L"#+Y", TwoDigits(year).buffer);
    text.Replace(L"#Y", Decimal(year).buffer);
    text.Replace(L"#+M", TwoDigits(month).buffer);
    text.Replace(L"#M", Decimal(month).buffer);
    text.Replace(L"#W", Decimal(Weekday()).buffer);
    text.Replace(L"#+D", TwoDigits(day).buffer);
    text.Replace(L"#D", Decimal(day).buffer);
    text.Replace(L"#+H", TwoDigits(TwelveHourClock(hour)).buffer);
    text.Replace(L"#H", Decimal(TwelveHourClock(hour)).buffer);
    text.Replace(L"#+h", TwoDigits(hour).buffer);
    text.Replace(L"#h", Decimal(hour).buffer);
    text.Replace(L"#+m", TwoDigits(minute).buffer);
    text.Replace(L"#m", Decimal(minute).buffer);
    text.Replace(L"#+s", TwoDigits(second).buffer);
    text.Replace(L"#s", Decimal(second).buffer);
    text.Replace(L"#x", Decimal(millisecond / 100).buffer);
    text.Replace(L"#+y", TwoDigits(millisecond / 10).buffer);
    text.Replace(L"#y", Decimal(millisecond / 10).buffer);
    text.Replace(L"#+z", ThreeDigits(millisecond).buffer);
    text.Replace(L"#z", Decimal(millisecond).buffer);
    text.Replace(L"#a", BeforeNoon(hour) ? L"am" : L"pm");
    text.Replace(L"#A", BeforeNoon(hour) ? L"AM" : L"PM");
    return text;
}

// The year is checked first, so the row arithmetic cannot overflow.
int32_t Date::Weekday() const
{
    if (year < CycleHoldsFrom || year > CycleHoldsUntil)
        return -1;
    if (day < 1 || day > DaysInMonth(month, year))
        return -1;
    const int32_t row = ((year - TableFirstYear) % CycleYears + CycleYears) % CycleYears;
    const int32_t firstOfMonth = weekdayTable.CharAt(12 * row + month - 1) - L'0';
    return (firstOfMonth + day - 1) % 7;
}

bool Date::IsLeapYear(int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t Date::DaysInMonth(int32_t month, int32_t year)
{
    static constexpr int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}
