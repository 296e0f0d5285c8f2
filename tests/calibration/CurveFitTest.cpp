#include "calibration/CurveFit.h"

#include "core/Errors.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr const char* GaussJordanSingular = "Error in GaussJordan: matrix is singular";
constexpr const char* GaussJordan2Singular = "Error in GaussJordan2: matrix is singular";

// Runs `f` and returns the EMathError's message, or "" when nothing was thrown.
template <typename F> std::string MathErrorOf(F f) {
    try {
        f();
    } catch (const EMathError& e) {
        return e.what();
    }
    return {};
}

// --- GaussJordan --------------------------------------------------------------

TEST(GaussJordanTest, FullPivotingSolvesAndLeavesInverseInOriginalColumnOrder) {
    // The largest element of every row lies off the diagonal, so every step
    // swaps rows and the columns must be swapped back at the end.
    const TMatrix original{{1, 2, 10}, {9, 1, 1}, {2, 8, 1}};
    const std::vector<double> solution{1.5, -2, 0.25};
    std::vector<double> b(3, 0.0);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            b[r] += original[r][c] * solution[c];
        }
    }
    TMatrix a = original;
    std::vector<double> x(3, -99.0);
    GaussJordan(a, b, x, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(x[i], solution[i], 1e-12) << "x[" << i << "]";
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double product = 0;
            for (int k = 0; k < 3; ++k) {
                product += original[r][k] * a[k][c];
            }
            EXPECT_NEAR(product, r == c ? 1.0 : 0.0, 1e-12)
                << "(A·inverse)[" << r << "][" << c << "]";
        }
    }
}

struct SingularCase {
    const char* Name;
    TMatrix A;
    const char* Message;
};

void PrintTo(const SingularCase& c, std::ostream* os) {
    *os << c.Name;
}

class GaussJordanSingularTest : public ::testing::TestWithParam<SingularCase> {};

TEST_P(GaussJordanSingularTest, RaisesItsMessageAndLeavesXUnwritten) {
    const SingularCase& c = GetParam();
    TMatrix a = c.A;
    const int n = static_cast<int>(a.size());
    const std::vector<double> b(n, 1.0);
    std::vector<double> x(n, 42.0);
    EXPECT_EQ(MathErrorOf([&] { GaussJordan(a, b, x, n); }), c.Message);
    EXPECT_EQ(x, std::vector<double>(n, 42.0));
}

INSTANTIATE_TEST_SUITE_P(
    Table, GaussJordanSingularTest,
    ::testing::Values(
        // No candidate at the first step: nothing to fall back on.
        SingularCase{.Name = "AllZero", .A = {{0, 0}, {0, 0}}, .Message = GaussJordanSingular},
        SingularCase{.Name = "OneByOneZero", .A = {{0}}, .Message = GaussJordanSingular},
        SingularCase{.Name = "AllNaN",
                     .A = {{std::numeric_limits<double>::quiet_NaN()}},
                     .Message = GaussJordanSingular},
        // The last step finds no candidate and reuses the previous pivot: the
        // final check finds column 0 never pivoted.
        SingularCase{.Name = "DependentRowsLastStep",
                     .A = {{1, 1, 0}, {1, 1, 0}, {0, 0, 1}},
                     .Message = GaussJordanSingular},
        // The middle step finds no candidate; the next search meets the
        // column pivoted twice.
        SingularCase{.Name = "DependentRowsMiddleStep",
                     .A = {{1, 1, 0}, {1, 1, 0}, {0, 0, 0}},
                     .Message = GaussJordan2Singular}),
    [](const auto& info) { return info.param.Name; });

TEST(GaussJordanTest, ShortArgumentsAreRefusedBeforeAnythingIsWritten) {
    TMatrix a{{2, 0}, {0, 2}};
    const TMatrix before = a;
    const std::vector<double> b{1, 1};
    std::vector<double> x(1);
    EXPECT_THROW(GaussJordan(a, b, x, 2), std::out_of_range);
    EXPECT_EQ(a, before);
}

// --- PolyFit ------------------------------------------------------------------

struct PolyFitCase {
    const char* Name;
    std::vector<double> X, Y;
    int Terms;
    std::vector<double> Coef; // expected; empty when an error is expected
    double Correlation = 0;
    const char* Message = ""; // expected EMathError message
};

void PrintTo(const PolyFitCase& c, std::ostream* os) {
    *os << c.Name;
}

class PolyFitTest : public ::testing::TestWithParam<PolyFitCase> {};

TEST_P(PolyFitTest, CoefficientsCorrelationOrError) {
    const PolyFitCase& c = GetParam();
    // One spare entry: PolyFit writes only the first Terms entries.
    std::vector<double> coef(std::max(c.Terms, 0) + 1, 77.0);
    double correlation = -5;
    const std::string message = MathErrorOf(
        [&] { PolyFit(c.X, c.Y, coef, correlation, static_cast<int>(c.X.size()), c.Terms); });
    EXPECT_EQ(message, c.Message);
    if (!c.Coef.empty()) {
        for (std::size_t j = 0; j < c.Coef.size(); ++j) {
            EXPECT_NEAR(coef[j], c.Coef[j], 1e-9) << "coefficient " << j;
        }
        EXPECT_NEAR(correlation, c.Correlation, 1e-9);
    } else {
        EXPECT_EQ(correlation, -5);
    }
    EXPECT_EQ(coef.back(), 77.0);
}

INSTANTIATE_TEST_SUITE_P(Table, PolyFitTest,
                         ::testing::Values(
                             // The number of terms is checked before the number of points.
                             PolyFitCase{.Name = "NoTermsOnePoint",
                                         .X = {1},
                                         .Y = {1},
                                         .Terms = 0,
                                         .Coef = {},
                                         .Message = "PolyFit called with less than one term"},
                             PolyFitCase{.Name = "OnePoint",
                                         .X = {1},
                                         .Y = {1},
                                         .Terms = 2,
                                         .Coef = {},
                                         .Message = "PolyFit called with less than two points"},
                             PolyFitCase{.Name = "LineThroughTwoPoints",
                                         .X = {1, 3},
                                         .Y = {3, 7},
                                         .Terms = 2,
                                         .Coef = {1, 2},
                                         .Correlation = 1},
                             PolyFitCase{.Name = "ExactParabola",
                                         .X = {0, 1, 2},
                                         .Y = {1, 6, 17},
                                         .Terms = 3,
                                         .Coef = {1, 2, 3},
                                         .Correlation = 1},
                             // Least squares: y = 1/3 + x through (0,0), (1,2), (2,2).
                             PolyFitCase{.Name = "LeastSquaresLine",
                                         .X = {0, 1, 2},
                                         .Y = {0, 2, 2},
                                         .Terms = 2,
                                         .Coef = {1.0 / 3.0, 1},
                                         .Correlation = std::sqrt(0.75)},
                             // SST = 0: the correlation is 1 whatever the fit.
                             PolyFitCase{.Name = "AllYEqual",
                                         .X = {1, 2, 4},
                                         .Y = {5, 5, 5},
                                         .Terms = 2,
                                         .Coef = {5, 0},
                                         .Correlation = 1},
                             // One term fits the mean: SSE = SST, no better than the mean line.
                             PolyFitCase{.Name = "MeanOnly",
                                         .X = {1, 2, 3},
                                         .Y = {1, 2, 6},
                                         .Terms = 1,
                                         .Coef = {3},
                                         .Correlation = 0},
                             PolyFitCase{.Name = "SameXTwoTerms",
                                         .X = {2, 2},
                                         .Y = {1, 3},
                                         .Terms = 2,
                                         .Coef = {},
                                         .Message = GaussJordanSingular}),
                         [](const auto& info) { return info.param.Name; });

// --- PowerLawFit and AnchoredSlopeFit -----------------------------------------

TEST(PowerLawFitTest, PointsOnAPowerLawGiveItsParameters) {
    const std::vector<double> x{1, 4, 9, 100, 2500};
    std::vector<double> y;
    for (double v : x) {
        y.push_back(2 * std::sqrt(v));
    }
    float a = 0;
    float b = 0;
    PowerLawFit(x, y, static_cast<int>(x.size()), a, b);
    EXPECT_NEAR_REL(a, 2.0, 1e-6);
    EXPECT_NEAR_REL(b, 0.5, 1e-6);
}

struct FitErrorCase {
    const char* Name;
    std::vector<double> X, Y;
    const char* Message;
};

void PrintTo(const FitErrorCase& c, std::ostream* os) {
    *os << c.Name;
}

class PowerLawFitErrorTest : public ::testing::TestWithParam<FitErrorCase> {};

TEST_P(PowerLawFitErrorTest, RaisesAndLeavesResultsUnchanged) {
    const FitErrorCase& c = GetParam();
    float a = 3;
    float b = 4;
    EXPECT_EQ(MathErrorOf([&] { PowerLawFit(c.X, c.Y, static_cast<int>(c.X.size()), a, b); }),
              c.Message);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PowerLawFitErrorTest,
    ::testing::Values(
        FitErrorCase{.Name = "ZeroX",
                     .X = {0, 1},
                     .Y = {1, 2},
                     .Message = "PowerLawFit: logarithm of a value that is not positive"},
        FitErrorCase{.Name = "NegativeY",
                     .X = {1, 2},
                     .Y = {1, -2},
                     .Message = "PowerLawFit: logarithm of a value that is not positive"},
        FitErrorCase{.Name = "NaNX",
                     .X = {std::numeric_limits<double>::quiet_NaN(), 2},
                     .Y = {1, 2},
                     .Message = "PowerLawFit: logarithm of a value that is not positive"},
        FitErrorCase{.Name = "OnePoint",
                     .X = {1},
                     .Y = {1},
                     .Message = "PolyFit called with less than two points"},
        // ln 1 = 0 exactly, so the normal matrix is exactly singular.
        FitErrorCase{.Name = "SameX", .X = {1, 1}, .Y = {1, 2}, .Message = GaussJordanSingular}),
    [](const auto& info) { return info.param.Name; });

TEST(PowerLawFitTest, MoreThanThirtyThreePointsAreRefused) {
    const std::vector<double> v(34, 1.0);
    float a = 0;
    float b = 0;
    EXPECT_THROW(PowerLawFit(v, v, 34, a, b), std::out_of_range);
}

TEST(AnchoredSlopeFitTest, FixedPointOnTheLineGivesItsSlope) {
    // y = 3 - 1.5 x; the fixed point (2, 0) lies on it.
    const std::vector<double> x{-1, 0.5, 4, 10};
    std::vector<double> y;
    for (double v : x) {
        y.push_back(3 - 1.5 * v);
    }
    float slope = 0;
    AnchoredSlopeFit(x, y, 4, 2, 0, slope);
    EXPECT_FLOAT_EQ(slope, -1.5f);
}

class AnchoredSlopeFitErrorTest : public ::testing::TestWithParam<FitErrorCase> {};

TEST_P(AnchoredSlopeFitErrorTest, ZeroDenominatorRaisesAndLeavesSlope) {
    const FitErrorCase& c = GetParam();
    float slope = 9;
    EXPECT_EQ(
        MathErrorOf([&] { AnchoredSlopeFit(c.X, c.Y, static_cast<int>(c.X.size()), 2, 1, slope); }),
        c.Message);
    EXPECT_EQ(slope, 9);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnchoredSlopeFitErrorTest,
    ::testing::Values(
        FitErrorCase{
            .Name = "NoPoints",
            .X = {},
            .Y = {},
            .Message = "AnchoredSlopeFit: division by zero (no point away from the fixed point)"},
        FitErrorCase{
            .Name = "EveryXAtX0",
            .X = {2, 2, 2},
            .Y = {1, 5, 7},
            .Message = "AnchoredSlopeFit: division by zero (no point away from the fixed point)"}),
    [](const auto& info) { return info.param.Name; });

} // namespace
