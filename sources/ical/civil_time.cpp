// Civil-date arithmetic; see civil_time.h. The day counts follow the usual
// 400-year-era method, exact for any year that fits.
#include "sources/ical/civil_time.h"

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

int64_t daysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = floorDiv(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t daysToNextMonth(int64_t year, int month) { return daysFromCivil(year + (month == 12), month % 12 + 1, 1); }

// 1970-01-01 was a Thursday.
int dayOfWeek(int64_t days) { return static_cast<int>(floorMod(days + 4, 7)); }

int64_t civilSeconds(const CivilTime& time) {
  return daysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 +
         time.minute * 60 + time.second;
}

CivilTime civilFromSeconds(int64_t seconds) {
  const int64_t days = floorDiv(seconds, 86400);
  const int64_t ofDay = seconds - days * 86400;
  const int64_t shifted = days + 719468;
  const int64_t era = floorDiv(shifted, 146097);
  const int64_t dayOfEra = shifted - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  CivilTime time;
  time.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  time.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  time.year = yearOfEra + era * 400 + (time.month <= 2);
  time.hour = static_cast<int>(ofDay / 3600);
  time.minute = static_cast<int>(ofDay / 60 % 60);
  time.second = static_cast<int>(ofDay % 60);
  return time;
}
