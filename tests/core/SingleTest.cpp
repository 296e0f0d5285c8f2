#include "core/Single.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <ostream>

namespace {

struct SingleCase {
    const char* Name;
    double Value;
    float Expected; // compared bit for bit as a value; NaN matches NaN
};

void PrintTo(const SingleCase& c, std::ostream* os) {
    *os << c.Name;
}

class ToSingleTest : public ::testing::TestWithParam<SingleCase> {};

// Under UndefinedBehaviorSanitizer a plain conversion of the out-of-range
// cases stops the test (float-cast-overflow).
TEST_P(ToSingleTest, ClampsOnlyWhatASingleCannotHold) {
    const SingleCase& c = GetParam();
    const float v = ToSingle(c.Value);
    if (std::isnan(c.Expected)) {
        EXPECT_TRUE(std::isnan(v));
        return;
    }
    EXPECT_EQ(v, c.Expected);
    EXPECT_EQ(std::signbit(v), std::signbit(c.Expected));
}

constexpr double Inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, ToSingleTest,
    ::testing::Values(SingleCase{.Name = "Ordinary", .Value = 661.66, .Expected = 661.66f},
                      SingleCase{.Name = "Largest", .Value = FLT_MAX, .Expected = FLT_MAX},
                      SingleCase{
                          .Name = "JustBeyondLargest", .Value = 3.4028236e38, .Expected = FLT_MAX},
                      SingleCase{.Name = "Huge", .Value = 1e300, .Expected = FLT_MAX},
                      SingleCase{.Name = "NegativeHuge", .Value = -1e300, .Expected = -FLT_MAX},
                      SingleCase{.Name = "Tiny", .Value = 1e-300, .Expected = 0.0f},
                      SingleCase{.Name = "NegativeTiny", .Value = -1e-300, .Expected = -0.0f},
                      SingleCase{.Name = "Subnormal", .Value = 1e-40, .Expected = 1e-40f},
                      SingleCase{.Name = "Infinite", .Value = Inf, .Expected = INFINITY},
                      SingleCase{.Name = "NegativeInfinite", .Value = -Inf, .Expected = -INFINITY},
                      SingleCase{.Name = "NaN", .Value = std::nan(""), .Expected = NAN}),
    [](const auto& info) { return info.param.Name; });

} // namespace
