// Evaluation of the three calibration polynomials of a sample.
//
// The energy calibration maps an energy (keV) to a channel number, the
// peak-width calibration gives one standard deviation of a peak in channels,
// the efficiency calibration the fraction of emitted photons counted in the
// peak. All arithmetic is in double precision. Functions with a range check
// return true when the value is out of range and write the computed value in
// every case; NaN and infinite values always count as out of range.
#pragma once

#include "core/sample_types.h"

#include <cstdint>

// Channel := C3*E^3 + C2*E^2 + C1*E + C0 for the energy in whole keV.
// Returns true when the channel is not within [0, size).
bool EnergyToChannel(int energyKeV, const TEnergyCalibration& ecal, int size, double& channel);

// Width in channels as a function of the channel (calibration type 0):
// W2*c^2 + W1*c + W0. Returns true when the width is not within (0, size):
// a width of zero or below cannot describe a peak.
bool PeakWidthAtChannel(const TPeakWidthCalibration& wcal, int size, double& width, double channel);

// Width in keV as a function of the energy (calibration type 1), converted to
// channels by the ratio channel / energy at the peak: channel * w(E) / E.
// Returns true when the width is not within (0, size).
bool PeakWidthAtEnergy(const TPeakWidthCalibration& wcal, int size, double& width, double energy,
                       double channel);

// Codes of ChannelToEnergy.
inline constexpr std::uint8_t EnergyFound = 0;
inline constexpr std::uint8_t EnergyOutOfRange = 1;
inline constexpr std::uint8_t EnergyNoSlope = 10;
inline constexpr std::uint8_t EnergyNoBound = 11;

// The energy (keV) whose channel is `channel`, found by 15 bisection steps
// over whole-keV energies in [0, 1.25 * bound], where the bound is the energy
// of channel size + offset from the quadratic part of the calibration (from
// the linear part when C2 is 0). Codes: 0 found, 1 the last evaluation was
// out of range, 10 C1 is 0, 11 no positive finite bound exists. `energy` is
// the last midpoint (not a whole keV); it is left unchanged for codes 10, 11.
std::uint8_t ChannelToEnergy(int size, int offset, const TEnergyCalibration& ecal, double& energy,
                             double channel);

// Efficiency at an energy in keV: A0*E^B0 above Ecut, below it the straight
// line of slope m that meets the power law at Ecut. No checks: callers test
// the result for a positive value.
double EfficiencyAt(const TEfficiencyCalibration& rcal, double energy);
