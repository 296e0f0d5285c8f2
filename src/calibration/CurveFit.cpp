#include "calibration/CurveFit.h"

#include "core/Errors.h"
#include "core/Single.h"

#include <QString>

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

[[noreturn]] void Raise(const char* message) {
    throw EMathError(QString::fromLatin1(message));
}

void RequireLength(std::size_t available, int needed, const char* what) {
    if (needed > 0 && available < static_cast<std::size_t>(needed)) {
        throw std::out_of_range(what);
    }
}

} // namespace

void GaussJordan(TMatrix& a, std::span<const double> b, std::span<double> x, int n) {
    if (n <= 0) {
        return;
    }
    RequireLength(a.size(), n, "GaussJordan: matrix has too few rows");
    for (int r = 0; r < n; ++r) {
        RequireLength(a[r].size(), n, "GaussJordan: matrix row too short");
    }
    RequireLength(b.size(), n, "GaussJordan: right-hand side too short");
    RequireLength(x.size(), n, "GaussJordan: solution vector too short");

    // Use counter per column: -1 not yet pivoted, 0 pivoted once, above 0 twice.
    std::vector<int> use(n, -1);
    std::vector<int> pivotRow(n), pivotColumn(n);
    std::vector<double> rhs(b.begin(), b.begin() + n);
    int row = 0;
    int col = 0;
    for (int i = 0; i < n; ++i) {
        double big = 0;
        bool found = false;
        for (int j = 0; j < n; ++j) {
            if (use[j] == 0) {
                continue;
            }
            for (int k = 0; k < n; ++k) {
                if (use[k] > 0) {
                    Raise("Error in GaussJordan2: matrix is singular");
                }
                if (use[k] == -1 && std::fabs(a[j][k]) > big) {
                    row = j;
                    col = k;
                    big = std::fabs(a[j][k]);
                    found = true;
                }
            }
        }
        // Without a nonzero candidate a later step reuses the previous pivot
        // position, which the next search or the final check reports. The
        // first step has none to reuse: the matrix is all zero (or NaN), and
        // no column can ever be pivoted.
        if (!found && i == 0) {
            Raise("Error in GaussJordan: matrix is singular");
        }
        ++use[col];
        pivotRow[i] = row;
        pivotColumn[i] = col;
        if (row != col) {
            std::swap(a[row], a[col]);
            std::swap(rhs[row], rhs[col]);
        }
        // Setting the diagonal to 1 before dividing builds the inverse in place.
        std::vector<double>& pivot = a[col];
        const double p = pivot[col];
        pivot[col] = 1;
        for (int l = 0; l < n; ++l) {
            pivot[l] /= p;
        }
        rhs[col] /= p;
        for (int r = 0; r < n; ++r) {
            if (r == col) {
                continue;
            }
            const double d = a[r][col];
            a[r][col] = 0;
            for (int l = 0; l < n; ++l) {
                a[r][l] -= pivot[l] * d;
            }
            rhs[r] -= rhs[col] * d;
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        if (pivotRow[i] != pivotColumn[i]) {
            for (int k = 0; k < n; ++k) {
                std::swap(a[k][pivotRow[i]], a[k][pivotColumn[i]]);
            }
        }
    }
    for (int k = 0; k < n; ++k) {
        if (use[k] != 0) {
            Raise("Error in GaussJordan: matrix is singular");
        }
    }
    std::copy(rhs.begin(), rhs.end(), x.begin());
}

void PolyFit(std::span<const double> x, std::span<const double> y, std::span<double> coef,
             double& correlation, int numPoints, int numTerms) {
    if (numTerms < 1) {
        Raise("PolyFit called with less than one term");
    }
    if (numPoints < 2) {
        Raise("PolyFit called with less than two points");
    }
    RequireLength(x.size(), numPoints, "PolyFit: too few x values");
    RequireLength(y.size(), numPoints, "PolyFit: too few y values");
    RequireLength(coef.size(), numTerms, "PolyFit: coefficient vector too short");

    // Design matrix by successive products, one row per point.
    std::vector<double> design(static_cast<std::size_t>(numPoints) * numTerms);
    const auto d = [&](int i, int j) -> double& {
        return design[static_cast<std::size_t>(i) * numTerms + j];
    };
    for (int i = 0; i < numPoints; ++i) {
        d(i, 0) = 1;
        for (int j = 1; j < numTerms; ++j) {
            d(i, j) = d(i, j - 1) * x[i];
        }
    }
    TMatrix normal(numTerms, std::vector<double>(numTerms, 0.0));
    std::vector<double> rhs(numTerms, 0.0);
    for (int i = 0; i < numTerms; ++i) {
        for (int j = 0; j < numTerms; ++j) {
            double sum = 0;
            for (int k = 0; k < numPoints; ++k) {
                sum += d(k, i) * d(k, j);
            }
            normal[i][j] = sum;
        }
        double sum = 0;
        for (int k = 0; k < numPoints; ++k) {
            sum += y[k] * d(k, i);
        }
        rhs[i] = sum;
    }
    std::vector<double> solution(numTerms);
    GaussJordan(normal, rhs, solution, numTerms);

    double sse = 0;
    double s = 0;
    double s2 = 0;
    for (int i = 0; i < numPoints; ++i) {
        double fitted = 0;
        for (int j = 0; j < numTerms; ++j) {
            fitted += solution[j] * d(i, j);
        }
        sse += (fitted - y[i]) * (fitted - y[i]);
        s += y[i];
        s2 += y[i] * y[i];
    }
    const double sst = s2 - s * s / numPoints;
    const double q = sst != 0 ? sse / sst : 0;
    std::copy(solution.begin(), solution.end(), coef.begin());
    correlation = q < 1 ? std::sqrt(1 - q) : 0;
}

void PowerLawFit(std::span<const double> x, std::span<const double> y, int count, float& a,
                 float& b) {
    if (count > PowerLawMaxPoints) {
        throw std::out_of_range("PowerLawFit: more than 33 points");
    }
    RequireLength(x.size(), count, "PowerLawFit: too few x values");
    RequireLength(y.size(), count, "PowerLawFit: too few y values");
    std::array<double, PowerLawMaxPoints> lnX{};
    std::array<double, PowerLawMaxPoints> lnY{};
    for (int i = 0; i < count; ++i) {
        // NaN fails both tests too.
        if (!(x[i] > 0) || !(y[i] > 0)) {
            Raise("PowerLawFit: logarithm of a value that is not positive");
        }
        lnX[i] = std::log(x[i]);
        lnY[i] = std::log(y[i]);
    }
    std::array<double, 2> coef{};
    double correlation = 0;
    PolyFit(lnX, lnY, coef, correlation, count, 2);
    a = ToSingle(std::exp(coef[0]));
    b = ToSingle(coef[1]);
}

void AnchoredSlopeFit(std::span<const double> x, std::span<const double> y, int count, double x0,
                      double y0, float& slope) {
    RequireLength(x.size(), count, "AnchoredSlopeFit: too few x values");
    RequireLength(y.size(), count, "AnchoredSlopeFit: too few y values");
    double numerator = 0;
    double denominator = 0;
    for (int i = 0; i < count; ++i) {
        numerator += (x[i] - x0) * (y[i] - y0);
        denominator += (x[i] - x0) * (x[i] - x0);
    }
    if (denominator == 0) {
        Raise("AnchoredSlopeFit: division by zero (no point away from the fixed point)");
    }
    slope = ToSingle(numerator / denominator);
}
