// Compact JSON text writer; see json_text.h.
#include "sources/json_text.h"

#include <utility>

namespace {

std::string dumpScalar(const nlohmann::json& scalar) {
  return scalar.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void JsonText::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMember_.empty()) {
    if (hasMember_.back()) text_ += ',';
    hasMember_.back() = true;
  }
}

void JsonText::beginObject() {
  beforeValue();
  text_ += '{';
  hasMember_.push_back(false);
}

void JsonText::beginArray() {
  beforeValue();
  text_ += '[';
  hasMember_.push_back(false);
}

void JsonText::endObject() {
  text_ += '}';
  if (!hasMember_.empty()) hasMember_.pop_back();
}

void JsonText::endArray() {
  text_ += ']';
  if (!hasMember_.empty()) hasMember_.pop_back();
}

void JsonText::key(std::string_view name) {
  beforeValue();
  appendString(name);
  text_ += ':';
  afterKey_ = true;
}

void JsonText::appendString(std::string_view text) {
  // One reused value keeps this to the allocation of the written text.
  if (!scalar_.is_string()) scalar_ = std::string();
  scalar_.get_ref<std::string&>().assign(text);
  text_ += dumpScalar(scalar_);
}

void JsonText::value(std::string_view text) {
  beforeValue();
  appendString(text);
}

void JsonText::value(double number) {
  beforeValue();
  scalar_ = number;
  text_ += dumpScalar(scalar_);
}

void JsonText::value(int64_t number) {
  beforeValue();
  text_ += std::to_string(number);
}

void JsonText::value(bool flag) {
  beforeValue();
  text_ += flag ? "true" : "false";
}

void JsonText::writtenValue(std::string_view json) {
  beforeValue();
  text_ += json;
}

std::string JsonText::take() {
  std::string taken = std::move(text_);
  text_.clear();
  hasMember_.clear();
  afterKey_ = false;
  return taken;
}
