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

/// `a` divided by `b`, rounded towards negative infinity, and what remains:
/// days and seconds before 1970 count like those after it.
int64_t floorDiv(int64_t a, int64_t b);
int64_t floorMod(int64_t a, int64_t b);

/// Days from 1970-01-01 to the given date (negative before it).
int64_t daysFromCivil(int64_t year, int month, int day);

/// Days from 1970-01-01 to the first day of the month after `month` of `year`.
int64_t daysToNextMonth(int64_t year, int month);

/// The day of the week of the day `days` after 1970-01-01: 0 for Sunday to
/// 6 for Saturday.
int dayOfWeek(int64_t days);

/// Seconds from 1970-01-01 00:00:00 to `time`, read as if it were UTC.
int64_t civilSeconds(const CivilTime& time);

/// The time `seconds` after 1970-01-01 00:00:00; the inverse of civilSeconds.
CivilTime civilFromSeconds(int64_t seconds);
