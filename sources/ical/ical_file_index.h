// The layout of one iCalendar file, found from its BEGIN and END lines alone:
// where each complete VEVENT and VTIMEZONE lies, which calendar holds it, and
// each event's UID and whether it overrides an instance. The reader then
// parses one event (or one recurring series) at a time, so a large file
// costs little more than its own bytes, and a damaged one loses only the
// parts that are damaged:
// - a part cut short (no END, or a new event begins inside it) is left out,
//   the complete ones around it are kept, closed calendars or not;
// - a part nested deeper than any real file nests is left out whole.
// Every CRLF, LF and lone CR ends a line. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Bytes [offset, offset + length) of the file's text.
struct ICalTextRange {
  size_t offset = 0;
  size_t length = 0;
};

/// A complete VEVENT.
struct ICalEventEntry {
  ICalTextRange range;
  uint32_t scope = 0;       ///< the calendar that holds it; see ICalFileIndex
  bool isOverride = false;  ///< it has a RECURRENCE-ID line
  std::string uid;          ///< the UID value as written, unfolded; may be empty
};

/// A complete VTIMEZONE.
struct ICalZoneEntry {
  ICalTextRange range;
  uint32_t scope = 0;
};

/// The events and zone definitions of a file in file order. Scope 0 is the
/// file itself; each VCALENDAR opens a scope whose parent is the scope it
/// stands in (a zone defined in a scope serves it and the scopes inside it).
struct ICalFileIndex {
  std::vector<uint32_t> scopeParents{0};
  std::vector<ICalEventEntry> events;
  std::vector<ICalZoneEntry> zones;
};

/// The index of `text` (already decoded to UTF-8).
ICalFileIndex indexICalendarText(std::string_view text);

/// The bytes of `range` as the parser takes them: every line ended by CRLF,
/// without NUL bytes (which would end the parser's text early), and folded
/// at least every 4,096 bytes (libical takes time that grows with the square
/// of a line's length).
std::string componentText(std::string_view text, ICalTextRange range);

/// An event as the reader parses it: the component with only the lines the
/// reader looks at (no alarms, no descriptions), and its RRULE values as
/// written, unfolded (libical's reading of a rule keeps too little of it).
struct ICalEventText {
  std::string component;
  std::vector<std::string> rules;
};

/// The event of `range`, as componentText prepares it.
ICalEventText eventText(std::string_view text, ICalTextRange range);
