// Synthetic NaI(Tl) spectra of soil samples and of the detector background,
// for the example files in examples/.
//
// A spectrum is the expected counts per channel of a physical model, with
// Poisson noise from a fixed-seed generator, so every run gives the same
// bytes. The model: Gaussian full-energy peaks of the natural radionuclides
// (K-40, the Ra-226 and Th-232 chains in equilibrium) and Cs-137, with a
// NaI resolution of 7 % FWHM at 662 keV growing as the square root of the
// energy; for every line a Compton continuum up to its Compton edge, a
// multiple-scatter valley up to the peak and a backscatter bump; a falling
// environmental continuum and the lead X-rays of the shield; and the
// detector's threshold below about 30 keV. Peak areas follow from activity,
// counting time, emission probability and the efficiency curve stored in
// the sample, so the analysis finds the activities the model was given.
#pragma once

#include "core/sample_types.h"

#include <QString>

#include <cstdint>

// Activity concentrations (Bq/kg) of a sample; the chains are in
// equilibrium, Tl-208 takes its 35.94 % branch of Th-232.
struct TSoilActivities {
    double K40 = 0;
    double Ra226 = 0;
    double Th232 = 0;
    double Cs137 = 0;
};

// One measurement to synthesise.
struct TExampleMeasurement {
    int Channels = 4096;      // spectrum size
    double KeVPerChannel = 1; // nominal slope of the energy calibration
    std::uint32_t Seconds = 3600;
    float WeightKg = 0.5f;
    float VolumeL = 0.5f;
    std::uint16_t SerialNumber = 0;
    std::uint32_t SampleID = 0;
    TSoilActivities Soil; // activities in the sample; zero for a background
    // Activity concentration (Bq/kg) of every nuclide of the mixed reference
    // source; above 0 the measurement is of that source, evaluated with the
    // reference peak list and carrying an outdated efficiency curve.
    double ReferenceActivity = 0;
    std::uint64_t Seed = 1; // of the noise generator
    QString Comment;
};

// The energy calibration (keV to channel) of a spectrum of `channels`
// channels with the nominal slope: a small offset and a slight curvature.
TEnergyCalibration ExampleEnergyCalibration(int channels, double keVPerChannel);

// The peak width in channels (one standard deviation) against the channel:
// the quadratic that fits the resolution model over 150 to 2800 keV.
TPeakWidthCalibration ExampleWidthCalibration(const TEnergyCalibration& ecal);

// The efficiency curve of the detector in the 0.5 l beaker geometry.
TEfficiencyCalibration ExampleEfficiencyCalibration();

// The 14 lines of the natural radionuclides and Cs-137 that the examples
// evaluate, with emission probabilities in percent and screening limits.
TPeakList ExamplePeakList();

// The 11 lines of the mixed reference source, 60 keV to 1836 keV, each
// nuclide at the same activity concentration.
TPeakList ReferencePeakList();

// The efficiency curve a reference measurement carries before it is
// calibrated: an older calibration of the detector, some 20 % off.
TEfficiencyCalibration OutdatedEfficiencyCalibration();

// The complete sample record of one measurement (Valid, calibration type 0).
TSampleFile MakeExampleSample(const TExampleMeasurement& measurement);

// The 32 bytes of the uncertainty settings: four little-endian doubles.
QByteArray ExampleUncertaintySettings(double scale, double efficiency, double curve, double factor);
