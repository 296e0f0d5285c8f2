#include "SimMemory.h"

#include "core/SampleFiles.h"

#include <QDir>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

struct TLine {
    const char* Name;
    double Energy;      // keV
    double Probability; // percent
    int Chain;          // 0 K-40, 1 Cs-137, 2 Ra-226, 3 Th-232
};

constexpr TLine Lines[] = {
    {"Pb212", 238.6, 43.6, 3},  {"Pb214", 295.2, 18.4, 2},  {"Pb214", 351.9, 35.6, 2},
    {"Tl208", 583.2, 30.6, 3},  {"Bi214", 609.3, 45.5, 2},  {"Cs137", 661.7, 85.1, 1},
    {"Ac228", 911.2, 25.8, 3},  {"Bi214", 1120.3, 14.9, 2}, {"K40", 1460.8, 10.66, 0},
    {"Bi214", 1764.5, 15.3, 2}, {"Tl208", 2614.5, 35.6, 3},
};

// Peak list entries of the demonstration instrument: indexes into Lines.
constexpr int ListedLines[] = {8, 5, 2, 4, 6, 3, 10};

struct TActivities {
    double Chain[4]; // Bq/kg
};

double EfficiencyAt(const TEfficiencyCalibration& r, double energy) {
    if (energy >= r.Ecut) {
        return r.A0 * std::pow(energy, r.B0);
    }
    const double atCut = r.A0 * std::pow(static_cast<double>(r.Ecut), static_cast<double>(r.B0));
    return std::max(1e-6, atCut + r.m * (energy - r.Ecut));
}

TDetectorCalibration CalibrationFor(int channels) {
    TDetectorCalibration c{};
    const double perKeV = channels / 3000.0; // 0..3000 keV over the spectrum
    c.ECal = {0.0f, static_cast<float>(perKeV), 0.0f, 0.0f};
    // Width (one standard deviation, channels) of a NaI detector with about
    // 7 % resolution at 662 keV, as a straight line in the channel.
    const double sigma662 = 0.07 * 661.7 / 2.3548 * perKeV;
    const double sigma1461 = 0.07 * 661.7 * std::sqrt(1460.8 / 661.7) / 2.3548 * perKeV;
    const double slope = (sigma1461 - sigma662) / ((1460.8 - 661.7) * perKeV);
    c.WCal = {static_cast<float>(sigma662 - slope * 661.7 * perKeV), static_cast<float>(slope),
              0.0f};
    c.RCal = {17.3f, -0.9f, 150.0f, 0.0002f};
    return c;
}

TPeakList DemoPeakList() {
    TPeakList list{};
    int n = 0;
    for (int index : ListedLines) {
        TPeakEntry e{};
        SetPeakName(e, QString::fromLatin1(Lines[index].Name));
        e.Energy = static_cast<std::uint16_t>(std::lround(Lines[index].Energy));
        e.Probability = static_cast<float>(Lines[index].Probability);
        e.Limit = index == 5 ? 600.0f : -1.0f;
        list.Peak[n++] = e;
    }
    list.Size = static_cast<std::uint8_t>(n);
    return list;
}

// Expected counts per channel for the given activities and counting time.
std::vector<double> ExpectedSpectrum(int channels, const TDetectorCalibration& cal,
                                     const TActivities& a, double seconds, double weight,
                                     double continuumScale) {
    std::vector<double> mu(static_cast<std::size_t>(channels), 0.0);
    const double perKeV = cal.ECal.C1;
    for (int i = 0; i < channels; ++i) {
        const double e = (i + 0.5) / perKeV;
        const double rise = 1.0 - std::exp(-e / 25.0); // the lower threshold
        const double perSecond = continuumScale * rise *
                                 (1.0 * std::exp(-e / 180.0) + 0.06 * std::exp(-e / 900.0)) /
                                 perKeV;
        mu[static_cast<std::size_t>(i)] = perSecond * seconds;
    }
    for (const TLine& line : Lines) {
        const double rate = a.Chain[line.Chain] * weight * EfficiencyAt(cal.RCal, line.Energy) *
                            line.Probability / 100.0;
        const double area = rate * seconds;
        const double center = line.Energy * perKeV;
        const double sigma = cal.WCal.W0 + cal.WCal.W1 * center;
        // Compton edge of the line: a shelf below the peak.
        const double edge = line.Energy / (1.0 + 511.0 / (2.0 * line.Energy)) * perKeV;
        for (int i = 0; i < channels; ++i) {
            const double x = i + 0.5;
            const double z = (x - center) / sigma;
            if (std::fabs(z) < 8.0) {
                mu[static_cast<std::size_t>(i)] +=
                    area * std::exp(-0.5 * z * z) / (sigma * std::sqrt(2.0 * std::numbers::pi));
            }
            if (x < edge) {
                mu[static_cast<std::size_t>(i)] += 1.2 * area / edge;
            }
        }
    }
    return mu;
}

void FillSpectrum(TSampleFile& s, const std::vector<double>& mu, std::mt19937& rng) {
    const int channels = static_cast<int>(mu.size());
    s.Sample.Spectrum.Size = static_cast<std::uint16_t>(channels);
    s.Sample.Spectrum.Offset = 0;
    for (int i = 0; i < MaxChannels; ++i) {
        float v = 0.0f;
        if (i < channels) {
            std::poisson_distribution<long> poisson(
                std::max(mu[static_cast<std::size_t>(i)], 1e-9));
            v = static_cast<float>(poisson(rng));
        }
        s.Sample.Spectrum.Channel[i] = v;
    }
}

TSampleFile MakeSample(int channels, const TActivities& a, double seconds, double weight,
                       std::uint16_t serial, std::uint32_t id, std::mt19937& rng,
                       bool isBackground) {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Parameter.SampleType = isBackground ? 0 : 1;
    s.Sample.Parameter.SampleInterval = static_cast<std::uint32_t>(seconds);
    s.Sample.Parameter.Volume = 1.0f;
    s.Sample.Parameter.Weight = static_cast<float>(weight);
    s.Sample.Parameter.SerialNumber = serial;
    s.Sample.Parameter.SampleID = id;
    s.Calibration = CalibrationFor(channels);
    const TDetectorCalibration cal = s.Calibration;
    FillSpectrum(s, ExpectedSpectrum(channels, cal, a, seconds, weight, isBackground ? 0.6 : 1.0),
                 rng);
    s.PeakList = DemoPeakList();
    // The instrument's own results: the activities with a counting uncertainty.
    s.Results.Size = s.PeakList.Size;
    std::normal_distribution<double> noise(1.0, 0.05);
    for (int i = 0; i < s.PeakList.Size; ++i) {
        const TLine& line = Lines[ListedLines[i]];
        const double activity = isBackground ? 0.0 : a.Chain[line.Chain] * noise(rng);
        const double area = activity * weight * EfficiencyAt(cal.RCal, line.Energy) *
                            line.Probability / 100.0 * seconds;
        TPeakResult r{};
        if (area > 50.0) {
            r = {static_cast<float>(activity), static_cast<float>(196.0 / std::sqrt(area)),
                 static_cast<float>(area)};
        } else {
            r = {5.0f, -1.0f, 0.0f};
        }
        s.Results.Result[i] = r;
    }
    return s;
}

int ParseInt(const QString& text, int fallback) {
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : fallback;
}

void ParseDate(const QString& text, int& year, int& month, int& day) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() == 3) {
        year = ParseInt(parts[0], year);
        month = ParseInt(parts[1], month);
        day = ParseInt(parts[2], day);
    }
}

void ParseVersion(const QString& text, std::uint8_t& major, std::uint8_t& minor) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() == 2) {
        major = static_cast<std::uint8_t>(ParseInt(parts[0], major));
        minor = static_cast<std::uint8_t>(ParseInt(parts[1], minor));
    }
}

} // namespace

TSimMemory BuildDemoMemory(const TDemoOptions& options) {
    TSimMemory m;
    std::mt19937 rng(options.Seed);
    std::uniform_real_distribution<double> cs(5.0, 200.0);
    std::uniform_real_distribution<double> spread(0.7, 1.3);
    const std::uint16_t serial = m.Identity.SerialNumber;
    std::uint32_t id = 101;
    for (int i = 0; i < options.StoredSamples; ++i) {
        const int channels = options.Channels > 0 ? options.Channels : (i % 2 == 0 ? 1024 : 4096);
        const TActivities a{{420.0 * spread(rng), cs(rng), 35.0 * spread(rng), 30.0 * spread(rng)}};
        m.Stored.push_back(MakeSample(channels, a, 3600.0, 1.0, serial, id++, rng, false));
    }
    const int channels = options.Channels > 0 ? options.Channels : 4096;
    const TActivities environment{{40.0, 0.0, 8.0, 6.0}};
    m.Background = MakeSample(channels, environment, 36000.0, 1.0, serial, id++, rng, true);
    m.HasBackground = true;
    const TActivities current{{450.0, 120.0, 40.0, 32.0}};
    m.Current = MakeSample(channels, current, 7200.0, 0.85, serial, id++, rng, false);
    m.NextSampleID = id;
    if (options.BackgroundMode) {
        // The instrument subtracts its background: the current sample holds
        // the net counts, which may be negative.
        m.Config.Mode = 1;
        const double ratio = 7200.0 / 36000.0;
        for (int i = 0; i < channels; ++i) {
            const double net = m.Current.Sample.Spectrum.Channel[i] -
                               ratio * m.Background.Sample.Spectrum.Channel[i];
            m.Current.Sample.Spectrum.Channel[i] = static_cast<float>(std::lround(net));
        }
    }
    return m;
}

TSimMemory TSimMemory::Demo(const TDemoOptions& options) {
    return BuildDemoMemory(options);
}

bool LoadMemory(const QString& folder, TSimMemory& memory, QString& error) {
    const QDir dir(folder);
    if (!dir.exists()) {
        error = QStringLiteral("no memory folder %1").arg(folder);
        return false;
    }
    TSimMemory m;
    const QString ini = dir.filePath(QStringLiteral("instrument.ini"));
    if (QFileInfo::exists(ini)) {
        QSettings s(ini, QSettings::IniFormat);
        TSimIdentity& id = m.Identity;
        id.SerialNumber = static_cast<std::uint16_t>(ParseInt(
            s.value(QStringLiteral("instrument/SerialNumber")).toString(), id.SerialNumber));
        ParseVersion(s.value(QStringLiteral("instrument/Firmware")).toString(), id.FirmwareMajor,
                     id.FirmwareMinor);
        ParseVersion(s.value(QStringLiteral("instrument/Version")).toString(), id.InstrumentMajor,
                     id.InstrumentMinor);
        ParseDate(s.value(QStringLiteral("instrument/Manufactured")).toString(),
                  id.ManufacturedYear, id.ManufacturedMonth, id.ManufacturedDay);
        ParseDate(s.value(QStringLiteral("instrument/FirmwareUpdate")).toString(), id.UpdateYear,
                  id.UpdateMonth, id.UpdateDay);
        m.NextSampleID = static_cast<std::uint32_t>(
            s.value(QStringLiteral("instrument/NextSampleID"), 1).toLongLong());
        TSpecConfig c = m.Config;
        c.PeakThreshold = s.value(QStringLiteral("configuration/PeakThreshold"), 100.0).toFloat();
        c.TimeToPeak = static_cast<std::uint16_t>(
            s.value(QStringLiteral("configuration/TimeToPeak"), 2).toInt());
        c.Mode =
            static_cast<std::uint8_t>(s.value(QStringLiteral("configuration/Mode"), 0).toInt());
        c.RequestedDL = s.value(QStringLiteral("configuration/RequestedDL"), 100.0).toFloat();
        c.PeakIndexDL = static_cast<std::int8_t>(
            s.value(QStringLiteral("configuration/PeakIndexDL"), -1).toInt());
        m.Config = c;
    }
    const QString current = dir.filePath(QStringLiteral("current.vtb"));
    if (QFileInfo::exists(current) && !ReadSampleFile(current, m.Current, error)) {
        return false;
    }
    const QString background = dir.filePath(QStringLiteral("background.vtb"));
    if (QFileInfo::exists(background)) {
        if (!ReadSampleFile(background, m.Background, error)) {
            return false;
        }
        m.HasBackground = true;
    }
    for (const QString& name :
         dir.entryList({QStringLiteral("stored-*.vtb")}, QDir::Files, QDir::Name)) {
        TSampleFile s{};
        if (!ReadSampleFile(dir.filePath(name), s, error)) {
            return false;
        }
        m.Stored.push_back(s);
    }
    memory = std::move(m);
    return true;
}

bool SaveMemory(const QString& folder, const TSimMemory& memory, QString& error) {
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    const QDir dir(folder);
    {
        QSettings s(dir.filePath(QStringLiteral("instrument.ini")), QSettings::IniFormat);
        const TSimIdentity& id = memory.Identity;
        s.setValue(QStringLiteral("instrument/SerialNumber"), id.SerialNumber);
        s.setValue(QStringLiteral("instrument/Firmware"),
                   QStringLiteral("%1.%2").arg(id.FirmwareMajor).arg(id.FirmwareMinor));
        s.setValue(QStringLiteral("instrument/Version"),
                   QStringLiteral("%1.%2").arg(id.InstrumentMajor).arg(id.InstrumentMinor));
        s.setValue(QStringLiteral("instrument/Manufactured"), QStringLiteral("%1-%2-%3")
                                                                  .arg(id.ManufacturedYear)
                                                                  .arg(id.ManufacturedMonth)
                                                                  .arg(id.ManufacturedDay));
        s.setValue(
            QStringLiteral("instrument/FirmwareUpdate"),
            QStringLiteral("%1-%2-%3").arg(id.UpdateYear).arg(id.UpdateMonth).arg(id.UpdateDay));
        s.setValue(QStringLiteral("instrument/NextSampleID"),
                   static_cast<qlonglong>(memory.NextSampleID));
        const TSpecConfig c = memory.Config;
        s.setValue(QStringLiteral("configuration/PeakThreshold"),
                   static_cast<double>(c.PeakThreshold));
        s.setValue(QStringLiteral("configuration/TimeToPeak"), static_cast<int>(c.TimeToPeak));
        s.setValue(QStringLiteral("configuration/Mode"), static_cast<int>(c.Mode));
        s.setValue(QStringLiteral("configuration/RequestedDL"), static_cast<double>(c.RequestedDL));
        s.setValue(QStringLiteral("configuration/PeakIndexDL"), static_cast<int>(c.PeakIndexDL));
        s.sync();
        if (s.status() != QSettings::NoError) {
            error = QStringLiteral("cannot write instrument.ini");
            return false;
        }
    }
    if (!WriteSampleFile(dir.filePath(QStringLiteral("current.vtb")), memory.Current, error)) {
        return false;
    }
    if (memory.HasBackground && !WriteSampleFile(dir.filePath(QStringLiteral("background.vtb")),
                                                 memory.Background, error)) {
        return false;
    }
    for (std::size_t i = 0; i < memory.Stored.size(); ++i) {
        const QString name = QStringLiteral("stored-%1.vtb").arg(i, 3, 10, QLatin1Char('0'));
        if (!WriteSampleFile(dir.filePath(name), memory.Stored[i], error)) {
            return false;
        }
    }
    return true;
}
