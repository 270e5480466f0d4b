#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/error.h"

namespace test_common {

/// Expects `body` to raise support::Error `number`; answers the error's
/// source ("" when it raised nothing or something else).
template <typename Body>
std::string ExpectError(int number, Body body) {
  try {
    body();
  } catch (const support::Error& e) {
    EXPECT_EQ(e.Number(), number) << e.Source() << ": " << e.Description();
    return e.Source();
  }
  ADD_FAILURE() << "no error " << number;
  return {};
}

}  // namespace test_common
