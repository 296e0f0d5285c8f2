// The least-squares polynomial behind the exchange files' calibrations.
#include "workstation/PolynomialFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<double> Values(int n, double from, double step) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(from + i * step);
    }
    return v;
}

TEST(FitLeastSquaresPolynomial, RecoversAPolynomialFarFromZero) {
    // Energies of 1000 to 3000 keV: the powers of x alone would make the
    // normal equations useless; the mapped abscissa keeps them exact.
    const std::vector<double> x = Values(401, 1000, 5);
    std::vector<double> y;
    for (const double v : x) {
        y.push_back(-40 + 0.8 * v - 2e-4 * v * v + 3e-8 * v * v * v);
    }
    const auto c = FitLeastSquaresPolynomial(x, y, 3);
    ASSERT_TRUE(c);
    for (std::size_t i = 0; i < x.size(); i += 50) {
        const double v = x[i];
        EXPECT_NEAR((*c)[0] + v * ((*c)[1] + v * ((*c)[2] + v * (*c)[3])), y[i], 1e-6);
    }
    // A line fitted to a line: exact, higher terms zero.
    const auto line = FitLeastSquaresPolynomial(x, Values(401, 3, 10), 1);
    ASSERT_TRUE(line);
    EXPECT_NEAR((*line)[1], 2.0, 1e-12);
    EXPECT_NEAR((*line)[0], 3 - 2000.0, 1e-8);
    EXPECT_EQ((*line)[2], 0);
}

TEST(FitLeastSquaresPolynomial, RefusesWhatCannotBeFitted) {
    const std::vector<double> y{1, 2, 3, 4};
    EXPECT_FALSE(FitLeastSquaresPolynomial({5, 5, 5, 5}, y, 1));      // no spread
    EXPECT_FALSE(FitLeastSquaresPolynomial({1, 2, 3}, {1, 2, 3}, 3)); // too few points
    EXPECT_FALSE(FitLeastSquaresPolynomial({1, 1, 1, 2}, y, 3));      // two distinct x
    EXPECT_FALSE(FitLeastSquaresPolynomial({1, 2, NAN, 4}, y, 1));    // not a number
    EXPECT_FALSE(FitLeastSquaresPolynomial({1, 2, 3, 4}, y, 4));      // degree too high
}

} // namespace
