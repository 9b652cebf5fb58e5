// Calendar dates and wall-clock times as whole numbers of days and seconds,
// on the proleptic Gregorian calendar, for every year a calendar file may
// hold (the C library's time functions refuse some of them). Pure
// functions; safe from any thread.
#pragma once

#include <cstdint>

/// A date and a time of day with no zone.
struct CivilTime {
  int64_t year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

/// Days from 1970-01-01 to the given date (negative before it).
int64_t daysFromCivil(int64_t year, int month, int day);

/// Seconds from 1970-01-01 00:00:00 to `time`, read as if it were UTC.
int64_t civilSeconds(const CivilTime& time);

/// The time `seconds` after 1970-01-01 00:00:00; the inverse of civilSeconds.
CivilTime civilFromSeconds(int64_t seconds);
