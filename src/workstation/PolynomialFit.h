// The least-squares polynomial that turns one direction of an energy
// calibration into the other (energy of the channel <-> channel of the
// energy) for the exchange files.
#pragma once

#include "core/sample_types.h"

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

// How closely a channel-of-energy calibration follows an energy-of-channel
// polynomial (constant first): the largest distance, in channels, between
// channel ch (0 to channels - 1) and the channel `ecal` gives for the energy
// of ch. Infinite when a distance is not a number.
double LargestChannelError(const std::array<double, 4>& energyOfChannel,
                           const TEnergyCalibration& ecal, int channels);
