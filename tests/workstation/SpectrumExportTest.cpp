// "Sample" -> "Export" in SPE, N42-2012 and CSV: what is written reads back
// through "Import" to the same counts, live time, energies and start.
#include "PackedField.h"
#include "SampleFixtures.h"

#include "core/SpectrumExportFiles.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <string>

namespace {

double ChannelOf(const TEnergyCalibration& c, double e) {
    return c.C0 + e * (c.C1 + e * (c.C2 + e * c.C3));
}

// A measured NaI-like spectrum of `size` channels: a slope of counts with
// two lines, the sample interval 3600 s, serial number 1042.
std::unique_ptr<TSampleFile> MeasuredSample(int size, const TEnergyCalibration& ecal) {
    auto s = std::make_unique<TSampleFile>(FlatSample(size));
    SetChannels(*s, [size](int i) { return 20.0 + 400.0 * (size - i) / size; });
    AddGaussian(s->Sample.Spectrum, 0.2 * size, 6, 5000);
    AddGaussian(s->Sample.Spectrum, 0.7 * size, 12, 3000);
    SetMeasurement(*s, 3600, 0.5f);
    s->Sample.Parameter.SerialNumber = 1042;
    s->Sample.Parameter.SampleID = 2317;
    SetCalibration(*s, ecal, {2.0f, 0.01f, 0}, {17.3f, -0.9f, 150.0f, 0.0002f});
    TextToComment(*s, QStringLiteral("Soil 12, started 2016-05-18T11:55:14"));
    return s;
}

QString CommentOf(const TSampleFile& s) {
    return CommentToText(s);
}

struct TRoundTripCase {
    std::string Name;
    TExportFormat Format;
    const char* Extension;
    int Size;
    TEnergyCalibration ECal;
};

void PrintTo(const TRoundTripCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpectrumExportRoundTrip : public ::testing::TestWithParam<TRoundTripCase> {};

TEST_P(SpectrumExportRoundTrip, ImportGivesTheSameCountsLiveTimeAndEnergies) {
    const TRoundTripCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.") + QLatin1String(c.Extension));
    const auto original = MeasuredSample(c.Size, c.ECal);

    TWorkstation writer;
    writer.State.MeasuredSample = *original;
    ASSERT_TRUE(writer.ExportSpectrumAs(path, '.', c.Format).Ok());

    // Imported into a sample of the same detector, as a laboratory does.
    TWorkstation reader;
    reader.State.MeasuredSample = *original;
    reader.State.MeasuredSample.Calibration.ECal = {5, 2, 0, 0};
    const TCommandResult result = reader.ImportSpectrum(path, '.');
    ASSERT_TRUE(result.Ok()) << result.MessageText().toStdString();
    const TSampleFile& back = reader.State.MeasuredSample;
    ASSERT_EQ(FieldValue(back.Sample.Spectrum.Size), c.Size);
    for (int i = 0; i < c.Size; ++i) {
        ASSERT_EQ(FieldValue(back.Sample.Spectrum.Channel[i]),
                  std::nearbyint(original->Sample.Spectrum.Channel[i]))
            << "channel " << i;
    }
    // N42 and CSV name the instrument, CSV the sample too.
    EXPECT_EQ(FieldValue(back.Sample.Parameter.SerialNumber),
              c.Format == TExportFormat::Spe ? 0 : 1042);
    EXPECT_EQ(FieldValue(back.Sample.Parameter.SampleID),
              c.Format == TExportFormat::Csv ? 2317 : 0);
    // The start that the comment names comes back, named once.
    const QString comment = CommentOf(back);
    EXPECT_EQ(comment.count(QStringLiteral("started 2016-05-18T11:55:14")), 1)
        << comment.toStdString();
    if (c.Format != TExportFormat::N42) {
        EXPECT_EQ(comment, CommentOf(*original));
    }
    EXPECT_EQ(FieldValue(back.Sample.Parameter.SampleInterval), 3600u);
    // Every energy of the spectrum lies within a tenth of a channel.
    double worst = 0;
    for (double e = 0; e < 4000; e += 0.5) {
        const double channel = ChannelOf(c.ECal, e);
        if (channel >= 0 && channel <= c.Size - 1) {
            worst = std::max(worst, std::abs(ChannelOf(back.Calibration.ECal, e) - channel));
        }
    }
    EXPECT_LT(worst, 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SpectrumExportRoundTrip,
    ::testing::Values(
        TRoundTripCase{"SpeStraightLine", TExportFormat::Spe, "spe", 4096, {-3, 1.35f, 0, 0}},
        TRoundTripCase{"SpeQuadratic", TExportFormat::Spe, "spe", 4096, {2, 1.3f, 2e-5f, 0}},
        TRoundTripCase{"SpeCubic", TExportFormat::Spe, "spe", 3900, {1, 1.2f, 1e-4f, -2e-8f}},
        TRoundTripCase{"Spe1024", TExportFormat::Spe, "spe", 1024, {0.5f, 0.34f, 1e-6f, 0}},
        TRoundTripCase{"N42Quadratic", TExportFormat::N42, "n42", 4096, {2, 1.3f, 2e-5f, 0}},
        TRoundTripCase{"N42Cubic", TExportFormat::N42, "n42", 3900, {1, 1.2f, 1e-4f, -2e-8f}},
        TRoundTripCase{"CsvQuadratic", TExportFormat::Csv, "csv", 4096, {2, 1.3f, 2e-5f, 0}},
        TRoundTripCase{"CsvStraightLine", TExportFormat::Csv, "csv", 1024, {-3, 1.35f, 0, 0}}),
    [](const auto& info) { return info.param.Name; });

TEST(SpectrumExport, SpaIsWrittenExactlyAsBefore) {
    QTemporaryDir dir;
    const auto sample = MeasuredSample(1024, {0.5f, 0.34f, 1e-6f, 0});
    TWorkstation session;
    session.State.MeasuredSample = *sample;
    const QString plain = dir.filePath(QStringLiteral("a.SPA"));
    const QString chosen = dir.filePath(QStringLiteral("b.SPA"));
    ASSERT_TRUE(session.ExportSpectrum(plain, '.').Ok());
    ASSERT_TRUE(session.ExportSpectrumAs(chosen, '.', TExportFormat::Spa).Ok());
    QFile a(plain), b(chosen);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST(SpectrumExport, InvalidSampleWritesNothing) {
    QTemporaryDir dir;
    TWorkstation session;
    for (const TExportFormat format :
         {TExportFormat::Spe, TExportFormat::N42, TExportFormat::Csv}) {
        const QString path = dir.filePath(QStringLiteral("x"));
        EXPECT_EQ(session.ExportSpectrumAs(path, '.', format).Status, CommandNotRun);
        EXPECT_FALSE(QFile::exists(path));
    }
}

TEST(SpectrumExport, CalibrationThatCannotBeInvertedIsLeftOut) {
    // Channel falls with energy: no energy of the channel exists.
    QTemporaryDir dir;
    TWorkstation session;
    session.State.MeasuredSample = *MeasuredSample(512, {100, -1, 0, 0});
    const QString path = dir.filePath(QStringLiteral("x.spe"));
    const TCommandResult r = session.ExportSpectrumAs(path, '.', TExportFormat::Spe);
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.MessageText().indexOf("it was left out"), -1) << r.MessageText().toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_FALSE(bytes.contains("$MCA_CAL:"));
    EXPECT_TRUE(bytes.contains("$DATA:\r\n0 511\r\n"));
}

TEST(SpectrumExport, CalibrationTheCubicCannotFollowIsWrittenAndNamed) {
    // Channel rises with the square of the energy: the energy of the channel
    // is a square root, which no cubic follows to a tenth of a channel.
    QTemporaryDir dir;
    TWorkstation session;
    session.State.MeasuredSample = *MeasuredSample(4096, {0, 0.05f, 6e-4f, 0});
    const QString path = dir.filePath(QStringLiteral("x.n42"));
    const TCommandResult r = session.ExportSpectrumAs(path, '.', TExportFormat::N42);
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.MessageText().indexOf("channels off the sample's"), -1)
        << r.MessageText().toStdString();
    // A sound calibration is written without a word.
    session.State.MeasuredSample = *MeasuredSample(4096, {2, 1.3f, 2e-5f, 0});
    EXPECT_TRUE(session.ExportSpectrumAs(path, '.', TExportFormat::N42).Messages.isEmpty());
}

} // namespace
