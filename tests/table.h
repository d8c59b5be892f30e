// Table-driven tests: a row with a `name` shows by that name in test
// listings instead of as raw bytes, and names its test (rowName, the last
// argument of INSTANTIATE_TEST_SUITE_P). Use NAMED_ROWS in the namespace of
// the row types, so that GoogleTest finds it.
#pragma once

#include <ostream>
#include <string>

inline constexpr auto rowName = [](const auto &info) { return std::string(info.param.name); };

#define NAMED_ROWS                                                                                 \
  template <typename Row>                                                                          \
  requires requires(const Row &row) {                                                              \
    row.name;                                                                                      \
  }                                                                                                \
  void PrintTo(const Row &row, std::ostream *os) {                                                 \
    *os << row.name;                                                                               \
  }
