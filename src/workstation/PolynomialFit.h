// The least-squares polynomial that turns one direction of an energy
// calibration into the other (energy of the channel <-> channel of the
// energy) for the exchange files.
#pragma once

#include <array>
#include <optional>
#include <vector>

// The coefficients, constant first, of the least-squares polynomial of
// `degree` (1 to 3) through the points (x[i], y[i]); entries beyond the
// degree are 0. The abscissa is mapped onto -1 to 1 for the normal
// equations, which are solved with partial pivoting, and the result is
// expanded back into powers of x. std::nullopt when there are fewer points
// than coefficients, the x values do not spread, the equations are singular
// or a coefficient is not finite.
std::optional<std::array<double, 4>>
FitLeastSquaresPolynomial(const std::vector<double>& x, const std::vector<double>& y, int degree);
