// The compact JSON writer: numbers read back exactly (structure and escapes
// are checked through the calendar dump's tests).
#include "sources/json_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(JsonText, NumbersReadBackAsTheSameDouble) {
  const double numbers[] = {0.0, -0.0, 0.1, 1.0 / 3, -978307200.0, 721692800.125, 1e300,
                            -5e-324, 123456789.00000001, std::nextafter(1.0, 2.0)};
  for (double number : numbers) {
    JsonText json;
    json.beginArray();
    json.value(number);
    json.endArray();
    double back = nlohmann::json::parse(json.text())[0].get<double>();
    EXPECT_EQ(back, number) << json.text();
    EXPECT_EQ(std::signbit(back), std::signbit(number)) << json.text();
  }
}

}  // namespace
