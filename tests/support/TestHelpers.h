// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

// Relative comparison: |actual - expected| <= rel * max(|expected|, tiny).
inline ::testing::AssertionResult NearRel(double actual, double expected, double rel = 1e-9) {
    const double scale = std::max(std::fabs(expected), 1e-300);
    if (std::fabs(actual - expected) <= rel * scale) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "actual " << actual << " differs from expected "
                                         << expected << " by more than " << rel << " relative";
}

#define EXPECT_NEAR_REL(actual, expected, rel) EXPECT_TRUE(NearRel((actual), (expected), (rel)))
