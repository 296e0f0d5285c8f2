// "Import" of SPE and CSV spectra: counts, live time, the energy calibration
// turned into channels of the energy, and what the measured sample keeps.
#include "PackedField.h"
#include "SampleFixtures.h"
#include "TestHelpers.h"

#include "analysis/CalibrationFunctions.h"
#include "core/SpectrumTextFile.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>

namespace {

class ForeignImport : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TWorkstation Session;

    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Session.State.MeasuredSample = *MakeTestSample(1024, 5);
        Session.State.MeasuredSample.CalibrationType = 0;
    }

    QString Write(const std::string& text) {
        const QString path = Dir.filePath(QStringLiteral("s.spe"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }

    // The channel the imported calibration gives for the energy of `channel`
    // under the file's polynomial `e`.
    double Roundtrip(const std::array<double, 3>& e, double channel) const {
        const TEnergyCalibration c = Session.State.MeasuredSample.Calibration.ECal;
        const double x = e[0] + channel * (e[1] + channel * e[2]);
        return c.C0 + x * (c.C1 + x * (static_cast<double>(c.C2) + x * c.C3));
    }
};

std::string SpeWithCalibration(const std::string& mcaCal, int channels = 1024) {
    std::string text =
        "$SPEC_ID:\nDrum 7\n$MEAS_TIM:\n300 310\n$DATA:\n0 " + std::to_string(channels - 1) + "\n";
    for (int i = 0; i < channels; ++i) {
        text += std::to_string(i % 17) + "\n";
    }
    return text + "$MCA_CAL:\n3\n" + mcaCal + " keV\n";
}

TEST_F(ForeignImport, StraightLineConvertsExactlyAndKeepsTheValidSamplesCalibrations) {
    const TSampleFile before = Session.State.MeasuredSample;
    const TCommandResult r = Session.ImportSpectrum(Write(SpeWithCalibration("-12 3 0")), '.');
    ASSERT_TRUE(r.Ok()) << r.MessageText().toStdString();
    EXPECT_TRUE(r.Messages.isEmpty());
    const TSampleFile& s = Session.State.MeasuredSample;
    EXPECT_FLOAT_EQ(FieldValue(s.Calibration.ECal.C0), 4.0f);
    EXPECT_FLOAT_EQ(FieldValue(s.Calibration.ECal.C1), 1.0f / 3);
    EXPECT_EQ(FieldValue(s.Calibration.ECal.C2), 0);
    EXPECT_EQ(std::memcmp(&s.Calibration.WCal, &before.Calibration.WCal, sizeof s.Calibration.WCal),
              0);
    EXPECT_EQ(std::memcmp(&s.Calibration.RCal, &before.Calibration.RCal, sizeof s.Calibration.RCal),
              0);
    EXPECT_EQ(+s.CalibrationType, 0);
    EXPECT_EQ(FieldValue(s.Sample.Parameter.SampleInterval), 300u);
    EXPECT_EQ(FieldValue(s.Sample.Parameter.Weight), 1.0f);
    EXPECT_EQ(FieldValue(s.Sample.Spectrum.Channel[16]), 16.0f);
    EXPECT_EQ(CommentToText(s), "Drum 7");
    EXPECT_EQ(r.Comment, std::optional<QString>(QStringLiteral("Drum 7"))); // the edit shows it
}

TEST_F(ForeignImport, CurvedCalibrationHitsEveryChannelWithinATenth) {
    const std::array<double, 3> e{-10, 3.1, 0.0001};
    const TCommandResult r =
        Session.ImportSpectrum(Write(SpeWithCalibration("-10 3.1 1.0E-004")), '.');
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.Messages.isEmpty());
    for (int ch = 0; ch < 1024; ++ch) {
        ASSERT_NEAR(Roundtrip(e, ch), ch, 0.1) << ch;
    }
}

TEST_F(ForeignImport, CalibrationTheCubicCannotFollowIsTakenAndNamed) {
    // Energy as the square of the channel: its channel is a square root,
    // which no cubic of the energy follows to a tenth of a channel.
    const TCommandResult r = Session.ImportSpectrum(Write(SpeWithCalibration("0 0.01 0.002")), '.');
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.MessageText().indexOf("channels off the file's"), -1)
        << r.MessageText().toStdString();
}

TEST_F(ForeignImport, InvalidSampleGetsTheDefaultWidthAndEfficiency) {
    Session.State.MeasuredSample.Valid = 0;
    ASSERT_TRUE(Session.ImportSpectrum(Write(SpeWithCalibration("-12 3 0")), '.').Ok());
    const TSampleFile& s = Session.State.MeasuredSample;
    EXPECT_EQ(+s.Valid, 1);
    EXPECT_EQ(+s.CalibrationType, 1);
    EXPECT_FLOAT_EQ(FieldValue(s.Calibration.WCal.W0), 0.26128f);
    EXPECT_FLOAT_EQ(FieldValue(s.Calibration.RCal.Ecut), 662.0f);
}

TEST_F(ForeignImport, MissingCalibrationKeepsTheSamplesAndSaysSo) {
    const TEnergyCalibration before = Session.State.MeasuredSample.Calibration.ECal;
    const TCommandResult r = Session.ImportSpectrum(Write(SpeWithCalibration("0 0 0")), '.');
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.MessageText().indexOf("no energy calibration"), -1);
    const TEnergyCalibration after = Session.State.MeasuredSample.Calibration.ECal;
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
}

TEST_F(ForeignImport, OriginsNameTheFileForWhatItChanged) {
    Session.State.EWCalOrigin = QStringLiteral("own.ewcal");
    Session.State.EfficiencyOrigin = QStringLiteral("own.rcal");
    // No calibration in the file, a valid sample: every calibration stays.
    ASSERT_TRUE(Session.ImportSpectrum(Write(SpeWithCalibration("0 0 0")), '.').Ok());
    EXPECT_EQ(Session.State.EWCalOrigin, QStringLiteral("own.ewcal"));
    EXPECT_EQ(Session.State.EfficiencyOrigin, QStringLiteral("own.rcal"));
    // The file's energy calibration: its name, the efficiency stays.
    ASSERT_TRUE(Session.ImportSpectrum(Write(SpeWithCalibration("-12 3 0")), '.').Ok());
    EXPECT_EQ(Session.State.EWCalOrigin, QStringLiteral("s.spe"));
    EXPECT_EQ(Session.State.EfficiencyOrigin, QStringLiteral("own.rcal"));
    // A sample that was not valid gets the default calibrations: both name it.
    Session.State.MeasuredSample.Valid = 0;
    Session.State.EWCalOrigin = QStringLiteral("own.ewcal");
    ASSERT_TRUE(Session.ImportSpectrum(Write(SpeWithCalibration("0 0 0")), '.').Ok());
    EXPECT_EQ(Session.State.EWCalOrigin, QStringLiteral("s.spe"));
    EXPECT_EQ(Session.State.EfficiencyOrigin, QStringLiteral("s.spe"));
}

TEST_F(ForeignImport, CalibrationThatCannotBeConvertedChangesNothing) {
    for (const std::string cal : {"5 0 0", "5 -1 0.0001", "0 1 -0.01"}) {
        const TSampleFile before = Session.State.MeasuredSample;
        const TCommandResult r = Session.ImportSpectrum(Write(SpeWithCalibration(cal)), '.');
        EXPECT_EQ(r.Status, CommandFailed) << cal;
        EXPECT_NE(r.MessageText().indexOf("energy calibration"), -1) << cal;
        EXPECT_EQ(std::memcmp(&Session.State.MeasuredSample, &before, sizeof before), 0) << cal;
    }
}

TEST_F(ForeignImport, ChannelsBeyondTheSampleAreReported) {
    const TCommandResult r = Session.ImportSpectrum(Write(SpeWithCalibration("0 1 0", 4100)), '.');
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.MessageText().indexOf("the counts of 4 channels beyond"), -1);
    EXPECT_EQ(FieldValue(Session.State.MeasuredSample.Sample.Spectrum.Size), MaxChannels);
}

// --- Measured spectra --------------------------------------------------------

struct RealCase {
    std::string Name; // of the JSON
    std::string File;
};

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.Name;
}

class RealSpectrum : public ForeignImport, public ::testing::WithParamInterface<RealCase> {};

TEST_P(RealSpectrum, ImportsWhatItsDescriptionStates) {
#ifndef ZK_REAL_DATA_DIR
    GTEST_SKIP() << "the measured spectra are not in this checkout";
#else
    const QDir dir(QStringLiteral(ZK_REAL_DATA_DIR));
    QFile json(dir.filePath(QString::fromStdString(GetParam().Name + ".json")));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
    const TEnergyCalibration before = Session.State.MeasuredSample.Calibration.ECal;

    const TCommandResult r =
        Session.ImportSpectrum(dir.filePath(QString::fromStdString(GetParam().File)), '.');
    ASSERT_TRUE(r.Ok()) << r.MessageText().toStdString();
    const TSampleFile& s = Session.State.MeasuredSample;
    const QJsonArray counts = o["counts"].toArray();
    ASSERT_EQ(FieldValue(s.Sample.Spectrum.Size), counts.size());
    for (qsizetype i = 0; i < counts.size(); ++i) {
        ASSERT_EQ(FieldValue(s.Sample.Spectrum.Channel[i]), counts[i].toDouble()) << i;
    }
    EXPECT_EQ(FieldValue(s.Sample.Parameter.SampleInterval),
              std::lround(o["live_time_s"].toDouble()));

    const QJsonArray c = o["energy_calibration"].toObject()["coefficients"].toArray();
    bool calibrated = false;
    for (const QJsonValue v : c) {
        calibrated = calibrated || v.toDouble() != 0;
    }
    if (calibrated) {
        const std::array<double, 3> e{c[0].toDouble(), c[1].toDouble(), c[2].toDouble()};
        for (int ch = 0; ch < s.Sample.Spectrum.Size; ch += 7) {
            ASSERT_NEAR(Roundtrip(e, ch), ch, 0.1) << ch;
        }
    } else {
        EXPECT_NE(r.MessageText().indexOf("no energy calibration"), -1);
        EXPECT_EQ(std::memcmp(&s.Calibration.ECal, &before, sizeof before), 0);
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealSpectrum,
    ::testing::Values(RealCase{"gammaspec_background_lead_shield", "background_spectrum.spe"},
                      RealCase{"gammaspec_insitu_loess_weimar", "calibration_spectrum.spe"},
                      RealCase{"gammaspec_insitu_nievenheim_1", "Nievenheim_DORNIE_1.spe"},
                      RealCase{"becquerel_digibase_cs137_co60", "digibase_5min_30_1.spe"},
                      RealCase{"becquerel_nai_background", "nai_detector.spe"}),
    [](const auto& info) { return info.param.Name; });

} // namespace
