// The writer of every dump's result: compact JSON text appended to one string
// as it goes, so a large result never becomes a tree of values. Strings and
// numbers are written by nlohmann/json (escaping; shortest form that reads
// back as the same double); invalid UTF-8 in a string becomes U+FFFD, the one
// rule of every result. One writer per thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

class JsonText {
 public:
  /// Opens an object or array as a value.
  void beginObject();
  void beginArray();
  /// Closes the innermost open object or array.
  void endObject();
  void endArray();
  /// Writes a member's key; the next call writes its value.
  void key(std::string_view name);
  /// Writes a value. Invalid UTF-8 in a string becomes U+FFFD.
  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(double number);
  void value(int64_t number);
  void value(bool flag);
  /// Writes a value that another JsonText has written whole.
  void writtenValue(std::string_view json);

  /// The text written so far.
  const std::string& text() const { return text_; }
  /// Hands over the text, leaving the writer empty.
  std::string take();

 private:
  void beforeValue();
  void appendString(std::string_view text);

  std::string text_;
  // One entry per open object or array: whether it holds a member yet.
  std::vector<bool> hasMember_;
  bool afterKey_ = false;
  nlohmann::json scalar_;
};
