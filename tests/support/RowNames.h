#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace pelvaro::testing {

// A test name from the words of a table row's description, up to its first
// colon, semicolon or comma: "a site with no sensor on has no data" gives
// "ASiteWithNoSensorOnHasNoData", so a failure names the row that broke.
inline std::string RowName(std::string_view text) {
  std::string name;
  bool upper = true;
  for (const char c : text) {
    if (c == ':' || c == ';' || c == ',') break;
    if (c == '\'') continue;  // "a block's" is one word
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) {
      name += static_cast<char>(upper ? std::toupper(u) : u);
      upper = false;
    } else {
      upper = true;
    }
  }
  return name;
}

// For INSTANTIATE_TEST_SUITE_P over rows whose description is `guards`.
struct ByGuards {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return RowName(info.param.guards);
  }
};

}  // namespace pelvaro::testing
