#include "analysis/CalibrationFunctions.h"

#include "core/NumberFormat.h"

#include <climits>
#include <cmath>

namespace {

// True unless 0 <= value < size (NaN is out of range).
bool OutsideChannels(double value, int size) {
    return !(value >= 0 && value < size);
}

// True unless 0 < value < size (NaN is out of range).
bool OutsideWidths(double value, int size) {
    return !(value > 0 && value < size);
}

} // namespace

bool EnergyToChannel(int energyKeV, const TEnergyCalibration& ecal, int size, double& channel) {
    const double x = energyKeV;
    const double c0 = ecal.C0, c1 = ecal.C1, c2 = ecal.C2, c3 = ecal.C3;
    channel = c3 * (x * x * x) + c2 * (x * x) + c1 * x + c0;
    return OutsideChannels(channel, size);
}

bool PeakWidthAtChannel(const TPeakWidthCalibration& wcal, int size, double& width,
                        double channel) {
    const double w0 = wcal.W0, w1 = wcal.W1, w2 = wcal.W2;
    width = w2 * (channel * channel) + w1 * channel + w0;
    return OutsideWidths(width, size);
}

bool PeakWidthAtEnergy(const TPeakWidthCalibration& wcal, int size, double& width, double energy,
                       double channel) {
    const double w0 = wcal.W0, w1 = wcal.W1, w2 = wcal.W2;
    const double keV = w2 * (energy * energy) + w1 * energy + w0;
    width = channel * keV / energy;
    return OutsideWidths(width, size);
}

std::uint8_t ChannelToEnergy(int size, int offset, const TEnergyCalibration& ecal, double& energy,
                             double channel) {
    const double c0 = ecal.C0, c1 = ecal.C1, c2 = ecal.C2;
    if (c1 == 0) {
        return EnergyNoSlope;
    }
    const double top = static_cast<double>(size) + offset;
    double hi = 0;
    if (c2 == 0) {
        // A linear (or cubic-only) calibration: the bound from its linear part.
        hi = (top - c0) / c1;
    } else {
        const double p = c1 / c2;
        const double q = (c0 - top) / c2;
        const double d = p * p / 4 - q;
        if (!(d >= 0)) {
            return EnergyNoBound;
        }
        hi = c2 > 0 ? std::sqrt(d) - p / 2 : -p / 2 - std::sqrt(d);
    }
    hi *= 1.25;
    if (!(hi > 0) || !std::isfinite(hi)) {
        return EnergyNoBound;
    }
    double lo = 0;
    bool outside = false;
    double mid = 0;
    for (int step = 0; step < 15; ++step) {
        mid = lo + (hi - lo) / 2;
        // The forward evaluation takes whole keV; an energy beyond the int
        // range cannot be evaluated and counts as above the channel.
        const std::int64_t whole = Round(mid);
        if (whole > INT_MAX) {
            outside = true;
            hi = mid;
            continue;
        }
        double c = 0;
        outside = EnergyToChannel(static_cast<int>(whole), ecal, size, c);
        if (channel >= c) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    energy = mid;
    return outside ? EnergyOutOfRange : EnergyFound;
}

double EfficiencyAt(const TEfficiencyCalibration& rcal, double energy) {
    const double a0 = rcal.A0, b0 = rcal.B0, ecut = rcal.Ecut, m = rcal.m;
    if (energy > ecut) {
        return a0 * std::pow(energy, b0);
    }
    return (a0 * std::pow(ecut, b0) - m * ecut) + m * energy;
}
