// Indexing an iCalendar file by its BEGIN and END lines; see ical_file_index.h.
#include "sources/ical/ical_file_index.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

// Real calendars nest four deep (calendar, event, alarm, and rarely one
// more); a part deeper than this is hostile or broken and is left out.
constexpr size_t kMostNestingInPart = 8;
// Components deeper than this are only counted, so that a file of nothing but
// BEGIN lines costs no memory per line.
constexpr size_t kMostTrackedNesting = 64;

// The line starting at `start`: its text and where the next one starts.
struct Line {
  std::string_view text;
  size_t next = 0;
};

Line lineAt(std::string_view text, size_t start) {
  // A plain loop: find_first_of looks each byte up in its set of two.
  size_t end = start;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  if (end == text.size()) return {text.substr(start), text.size()};
  size_t next = end + 1;
  if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
  return {text.substr(start, end - start), next};
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Whether `line` starts with `prefix` (given in capitals), in any letter case.
bool startsWithWord(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (upper(line[i]) != prefix[i]) return false;
  return true;
}

// Whether `line` is the property `name`: the name, then its parameters or value.
bool isProperty(std::string_view line, std::string_view name) {
  return startsWithWord(line, name) && line.size() > name.size() &&
         (line[name.size()] == ':' || line[name.size()] == ';');
}

// The value of a property line: what follows the first colon outside quotes.
std::string_view valueOf(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) return line.substr(i + 1);
  }
  return {};
}

// The component name of a BEGIN or END line, in capitals.
std::string componentName(std::string_view rest) {
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
  std::string name(rest);
  for (char& c : name) c = upper(c);
  return name;
}

// Components that stand directly in a calendar: one of them beginning inside
// another means the other was cut short.
bool isCalendarLevel(const std::string& name) {
  return name == "VCALENDAR" || name == "VEVENT" || name == "VTODO" || name == "VJOURNAL" ||
         name == "VFREEBUSY" || name == "VTIMEZONE";
}

// A component begun and not yet ended.
struct Open {
  std::string name;
  uint32_t scope = 0;  // the scope inside this component
};
// The VEVENT or VTIMEZONE being read.
struct Part {
  bool isEvent = false;
  size_t depth = 0;  // its place on the stack
  size_t offset = 0;
  bool broken = false;
  bool readingUid = false;
  ICalEventEntry event;
};

class Indexer {
 public:
  explicit Indexer(std::string_view text) : text_(text) {}

  ICalFileIndex run() {
    for (size_t start = 0; start < text_.size();) {
      Line line = lineAt(text_, start);
      take(line.text, start, line.next);
      start = line.next;
    }
    return std::move(index_);
  }

 private:
  uint32_t scope() const { return open_.empty() ? 0 : open_.back().scope; }

  void take(std::string_view line, size_t start, size_t next) {
    if (startsWithWord(line, "BEGIN:"))
      begin(componentName(line.substr(6)), start);
    else if (startsWithWord(line, "END:"))
      end(componentName(line.substr(4)), next);
    else if (part_ && part_->isEvent)
      readEventLine(line);
  }

  void readEventLine(std::string_view line) {
    Part& part = *part_;
    if (part.readingUid && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      part.event.uid.append(line.substr(1));
      return;
    }
    part.readingUid = false;
    if (open_.size() != part.depth + 1) return;  // a line of an alarm inside the event
    if (isProperty(line, "UID") && part.event.uid.empty()) {
      part.event.uid = std::string(valueOf(line));
      part.readingUid = true;
    } else if (isProperty(line, "RECURRENCE-ID")) {
      part.event.isOverride = true;
    }
  }

  void begin(std::string name, size_t start) {
    if (part_) {
      part_->readingUid = false;
      if (isCalendarLevel(name)) {
        open_.resize(part_->depth);  // the part was cut short
        part_.reset();
      }
    }
    if (open_.size() >= kMostTrackedNesting) {
      ++untracked_;
      if (part_) part_->broken = true;
      return;
    }
    uint32_t inner = scope();
    if (name == "VCALENDAR") {
      inner = static_cast<uint32_t>(index_.scopeParents.size());
      index_.scopeParents.push_back(scope());
    }
    if (!part_ && (name == "VEVENT" || name == "VTIMEZONE")) {
      part_.emplace();
      part_->isEvent = name == "VEVENT";
      part_->depth = open_.size();
      part_->offset = start;
    } else if (part_ && open_.size() - part_->depth >= kMostNestingInPart) {
      part_->broken = true;
    }
    open_.push_back({std::move(name), inner});
  }

  void end(const std::string& name, size_t next) {
    if (untracked_ > 0) {
      --untracked_;
      return;
    }
    size_t found = open_.size();
    while (found > 0 && open_[found - 1].name != name) --found;
    if (found == 0) {
      if (part_) part_->broken = true;  // an END that closes nothing
      return;
    }
    size_t closed = found - 1;
    if (part_) {
      part_->readingUid = false;
      if (closed < part_->depth) {
        part_.reset();  // an outer component ends: the part was cut short
      } else {
        if (closed + 1 != open_.size()) part_->broken = true;  // parts inside it left open
        if (closed == part_->depth) finishPart(next);
      }
    }
    open_.resize(closed);
  }

  void finishPart(size_t next) {
    Part part = std::move(*part_);
    part_.reset();
    if (part.broken) return;
    ICalTextRange range{part.offset, next - part.offset};
    uint32_t partScope = open_[part.depth].scope;
    if (part.isEvent) {
      part.event.range = range;
      part.event.scope = partScope;
      index_.events.push_back(std::move(part.event));
    } else {
      index_.zones.push_back({range, partScope});
    }
  }

  std::string_view text_;
  ICalFileIndex index_;
  std::vector<Open> open_;
  size_t untracked_ = 0;
  std::optional<Part> part_;
};

// A physical line as the parser takes it: without NUL bytes, ended by CRLF,
// folded where it runs long (a fold is a line break and a blank, which the
// parser takes out again wherever it stands).
void appendLine(std::string& result, std::string_view line) {
  constexpr size_t kLongestLine = 4096;
  size_t sinceFold = 0;
  while (!line.empty()) {
    const size_t nul = std::min(line.find('\0'), line.size());
    for (std::string_view kept = line.substr(0, nul); !kept.empty();) {
      if (sinceFold == kLongestLine) {
        result += "\r\n ";
        sinceFold = 0;
      }
      const size_t piece = std::min(kept.size(), kLongestLine - sinceFold);
      result.append(kept.substr(0, piece));
      sinceFold += piece;
      kept.remove_prefix(piece);
    }
    line.remove_prefix(std::min(nul + 1, line.size()));
  }
  result += "\r\n";
}

bool isContinuation(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The properties of an event that the reader reads.
bool isReadProperty(std::string_view line) {
  static constexpr std::string_view kRead[] = {"UID", "DTSTART", "DTEND", "DURATION", "RDATE", "EXDATE",
                                               "RECURRENCE-ID", "STATUS", "ATTENDEE", "ORGANIZER", "SEQUENCE",
                                               "DTSTAMP", "LAST-MODIFIED"};
  return std::any_of(std::begin(kRead), std::end(kRead), [&](std::string_view name) { return isProperty(line, name); });
}

}  // namespace

ICalFileIndex indexICalendarText(std::string_view text) { return Indexer(text).run(); }

std::string componentText(std::string_view text, ICalTextRange range) {
  std::string_view part = text.substr(range.offset, range.length);
  std::string result;
  result.reserve(part.size() + 64);
  for (size_t start = 0; start < part.size();) {
    Line line = lineAt(part, start);
    appendLine(result, line.text);
    start = line.next;
  }
  return result;
}

namespace {

// One logical line of an event: its physical lines, the first unfolded.
class EventLine {
 public:
  void start(std::string_view line) {
    pieces_.assign(1, line);
    head_.assign(line.substr(0, kHeadBytes));
  }

  void add(std::string_view continuation) {
    pieces_.push_back(continuation);
    if (head_.size() < kHeadBytes) head_.append(continuation.substr(1, kHeadBytes - head_.size()));
  }

  bool empty() const { return pieces_.empty(); }
  // Enough of the line to tell its name, even when folded inside it.
  std::string_view head() const { return head_; }
  const std::vector<std::string_view>& pieces() const { return pieces_; }

  std::string unfolded() const {
    std::string line(pieces_.front());
    for (size_t i = 1; i < pieces_.size(); ++i) line.append(pieces_[i].substr(1));
    return line;
  }

 private:
  static constexpr size_t kHeadBytes = 64;
  std::vector<std::string_view> pieces_;
  std::string head_;
};

// Adds one logical line of an event at `depth` (1 inside the event itself).
void takeEventLine(const EventLine& line, size_t& depth, ICalEventText& event) {
  const bool begins = startsWithWord(line.head(), "BEGIN:"), ends = startsWithWord(line.head(), "END:");
  bool kept = false;
  // The event's own BEGIN and END lines; nothing of the parts inside it.
  if ((begins && depth++ == 0) || (ends && depth > 0 && --depth == 0))
    kept = true;
  else if (depth == 1 && !begins && !ends && isProperty(line.head(), "RRULE"))
    event.rules.emplace_back(valueOf(line.unfolded()));
  else
    kept = depth == 1 && !begins && !ends && isReadProperty(line.head());
  if (kept)
    for (std::string_view piece : line.pieces()) appendLine(event.component, piece);
}

}  // namespace

ICalEventText eventText(std::string_view text, ICalTextRange range) {
  std::string_view part = text.substr(range.offset, range.length);
  ICalEventText event;
  size_t depth = 0;
  EventLine current;
  for (size_t start = 0; start < part.size();) {
    const Line line = lineAt(part, start);
    start = line.next;
    if (isContinuation(line.text) && !current.empty()) {
      current.add(line.text);
      continue;
    }
    if (!current.empty()) takeEventLine(current, depth, event);
    current.start(line.text);
  }
  if (!current.empty()) takeEventLine(current, depth, event);
  return event;
}
