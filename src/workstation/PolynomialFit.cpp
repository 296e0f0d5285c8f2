#include "workstation/PolynomialFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

std::optional<std::array<double, 4>>
FitLeastSquaresPolynomial(const std::vector<double>& x, const std::vector<double>& y, int degree) {
    const std::size_t n = std::min(x.size(), y.size());
    const int m = degree + 1;
    if (degree < 1 || degree > 3 || n < static_cast<std::size_t>(m)) {
        return std::nullopt;
    }
    const auto [lo, hi] = std::minmax_element(x.begin(), x.begin() + static_cast<long>(n));
    const double mid = (*lo + *hi) / 2;
    const double half = (*hi - *lo) / 2;
    if (!(half > 0) || !std::isfinite(mid) || !std::isfinite(half)) {
        return std::nullopt;
    }
    // Normal equations in u = (x - mid) / half, the right-hand side in column 4.
    std::array<std::array<double, 5>, 4> a{};
    for (std::size_t i = 0; i < n; ++i) {
        const double u = (x[i] - mid) / half;
        const std::array<double, 4> p{1, u, u * u, u * u * u};
        for (int r = 0; r < m; ++r) {
            for (int c = 0; c < m; ++c) {
                a[r][c] += p[r] * p[c];
            }
            a[r][4] += p[r] * y[i];
        }
    }
    const double tiny = 1e-12 * static_cast<double>(n);
    for (int col = 0; col < m; ++col) {
        int pivot = col;
        for (int r = col + 1; r < m; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        if (!(std::abs(a[pivot][col]) > tiny)) {
            return std::nullopt;
        }
        std::swap(a[col], a[pivot]);
        for (int r = 0; r < m; ++r) {
            if (r != col) {
                const double f = a[r][col] / a[col][col];
                for (int c = col; c < 5; ++c) {
                    a[r][c] -= f * a[col][c];
                }
            }
        }
    }
    // y = sum b_k u^k with u = (x - mid) / half, expanded by the binomial
    // theorem into powers of x.
    std::array<double, 4> result{};
    for (int k = 0; k < m; ++k) {
        const double b = a[k][4] / a[k][k] / std::pow(half, k);
        double binomial = 1; // k over j
        for (int j = k; j >= 0; --j) {
            result[static_cast<std::size_t>(j)] += b * binomial * std::pow(-mid, k - j);
            binomial = binomial * j / (k - j + 1);
        }
    }
    if (!std::all_of(result.begin(), result.end(), [](double v) { return std::isfinite(v); })) {
        return std::nullopt;
    }
    return result;
}

double LargestChannelError(const std::array<double, 4>& energyOfChannel,
                           const TEnergyCalibration& ecal, int channels) {
    const std::array<double, 4>& c = energyOfChannel;
    double worst = 0;
    for (int ch = 0; ch < channels; ++ch) {
        const double e = c[0] + ch * (c[1] + ch * (c[2] + ch * c[3]));
        const double back =
            ecal.C0 +
            e * (ecal.C1 + e * (static_cast<double>(ecal.C2) + e * static_cast<double>(ecal.C3)));
        const double off = std::abs(back - ch);
        worst = std::isnan(off) ? std::numeric_limits<double>::infinity() : std::max(worst, off);
    }
    return worst;
}
