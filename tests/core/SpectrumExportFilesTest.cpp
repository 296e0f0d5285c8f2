// The SPE, N42-2012 and CSV writers: their bytes and the XML's structure.
#include "core/SpectrumExportFiles.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QXmlStreamReader>

#include <memory>
#include <string>

namespace {

// Four channels with counts that show rounding (2.5 to even, -3 to 0), a
// comment with characters XML must escape.
std::unique_ptr<TSampleFile> SmallSample() {
    auto s = std::make_unique<TSampleFile>();
    s->Valid = 1;
    s->Sample.Parameter.SampleInterval = 1800;
    s->Sample.Parameter.SerialNumber = 1042;
    s->Sample.Parameter.SampleID = 77;
    s->Sample.Parameter.Weight = 0.5f;
    s->Sample.Spectrum.Size = 4;
    const float counts[] = {10, 2.5f, -3, 3.5f};
    for (int i = 0; i < 4; ++i) {
        s->Sample.Spectrum.Channel[i] = counts[i];
    }
    TextToComment(*s, QStringLiteral("soil <2 mm> & dried"));
    return s;
}

TExportExtras QuadraticExtras() {
    TExportExtras extras;
    extras.EnergyOfChannel = TFileCalibration{-2.5, 0.75, 1e-6, 0};
    return extras;
}

std::string Text(const QByteArray& bytes) {
    return bytes.toStdString();
}

TEST(SpeFileText, SectionsCountsAndCalibration) {
    const auto s = SmallSample();
    const std::string text = Text(SpeFileText(*s, QuadraticExtras()));
    EXPECT_EQ(text.substr(0, 32), "$SPEC_ID:\r\nsoil <2 mm> & dried\r\n");
    EXPECT_NE(text.find("DET# 1042\r\n"), std::string::npos);
    EXPECT_NE(text.find("$MEAS_TIM:\r\n1800 1800\r\n"), std::string::npos);
    EXPECT_NE(text.find("$DATA:\r\n0 3\r\n10\r\n2\r\n0\r\n4\r\n$ENER_FIT:\r\n-2.5 0.75\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("$MCA_CAL:\r\n3\r\n-2.5 0.75 9.9999999999999995E-7 keV\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("$DATE_MEA:"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 13), "$ENDRECORD:\r\n");
}

TEST(SpeFileText, WithoutCalibrationNoCalibrationSections) {
    const auto s = SmallSample();
    TExportExtras extras;
    extras.Start = "2026-03-04T05:06:07+01:00"; // SPE writes the wall-clock time
    const std::string text = Text(SpeFileText(*s, extras));
    EXPECT_EQ(text.find("$ENER_FIT:"), std::string::npos);
    EXPECT_EQ(text.find("$MCA_CAL:"), std::string::npos);
    EXPECT_NE(text.find("$DATE_MEA:\r\n03/04/2026 05:06:07\r\n"), std::string::npos);
}

TEST(SpeFileText, StraightLineWritesTwoCoefficients) {
    const auto s = SmallSample();
    TExportExtras extras;
    extras.EnergyOfChannel = TFileCalibration{0, 3, 0, 0};
    const std::string text = Text(SpeFileText(*s, extras));
    EXPECT_NE(text.find("$MCA_CAL:\r\n2\r\n0 3 keV\r\n"), std::string::npos) << text;
}

TEST(CsvSpectrumText, CommentLinesHeaderAndOneLinePerChannel) {
    auto s = SmallSample();
    TExportExtras extras = QuadraticExtras();
    extras.Start = "2026-03-04T05:06:07";
    EXPECT_EQ(Text(CsvSpectrumText(*s, extras)),
              "# live time (s),1800\r\n# start,2026-03-04T05:06:07\r\n"
              "# energy (keV) of channel,-2.5,0.75,9.9999999999999995E-7\r\n"
              "# serial number,1042\r\n# sample ID,77\r\n# description,soil <2 mm> & dried\r\n"
              "channel,counts\r\n0,10\r\n1,2\r\n2,0\r\n3,4\r\n");
    // Without calibration, start and comment their lines are left out.
    s->Comment[0] = 0;
    EXPECT_EQ(Text(CsvSpectrumText(*s, {})),
              "# live time (s),1800\r\n# serial number,1042\r\n# sample ID,77\r\n"
              "channel,counts\r\n0,10\r\n1,2\r\n2,0\r\n3,4\r\n");
}

TEST(SpectrumExportFiles, CommentWithLineBreaksStaysOnItsLine) {
    auto s = SmallSample();
    const std::string comment = "soil\r\n$DATA:\n9";
    s->Comment[0] = static_cast<std::uint8_t>(comment.size());
    std::copy(comment.begin(), comment.end(), s->Comment + 1);
    EXPECT_NE(Text(SpeFileText(*s, {})).find("$SPEC_ID:\r\nsoil  $DATA: 9\r\n"), std::string::npos);
    EXPECT_NE(Text(CsvSpectrumText(*s, {})).find("# description,soil  $DATA: 9\r\n"),
              std::string::npos);
}

TEST(CsvSpectrumText, AtMostTheChannelsTheRecordHolds) {
    auto s = SmallSample();
    s->Sample.Spectrum.Size = 5000;
    const std::string text = Text(CsvSpectrumText(*s, {}));
    EXPECT_NE(text.find("\r\n4095,0\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\r\n4096,"), std::string::npos);
}

// Reads the N42 document and collects what a reader of the format takes.
struct TN42Read {
    QString Namespace, Serial, Live, Real, Start, Counts, Coefficients, Remark, MeasurementClass;
    int Measurements = 0;
    bool WellFormed = false;
};

TN42Read ReadN42(const QByteArray& bytes) {
    TN42Read r;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QStringView name = xml.name();
        if (name == QLatin1String("RadInstrumentData")) {
            r.Namespace = xml.namespaceUri().toString();
        } else if (name == QLatin1String("RadMeasurement")) {
            ++r.Measurements;
        } else if (name == QLatin1String("RadInstrumentIdentifier")) {
            r.Serial = xml.readElementText();
        } else if (name == QLatin1String("LiveTimeDuration")) {
            r.Live = xml.readElementText();
        } else if (name == QLatin1String("RealTimeDuration")) {
            r.Real = xml.readElementText();
        } else if (name == QLatin1String("StartDateTime")) {
            r.Start = xml.readElementText();
        } else if (name == QLatin1String("ChannelData")) {
            r.Counts = xml.readElementText();
        } else if (name == QLatin1String("CoefficientValues")) {
            r.Coefficients = xml.readElementText();
        } else if (name == QLatin1String("Remark")) {
            r.Remark = xml.readElementText();
        } else if (name == QLatin1String("MeasurementClassCode")) {
            r.MeasurementClass = xml.readElementText();
        }
    }
    r.WellFormed = !xml.hasError();
    return r;
}

TEST(N42FileText, WellFormedWithTheMeasuredSpectrum) {
    const auto s = SmallSample();
    TExportExtras extras = QuadraticExtras();
    extras.Start = "2026-03-04T05:06:07Z";
    const TN42Read r = ReadN42(N42FileText(*s, extras));
    EXPECT_TRUE(r.WellFormed);
    EXPECT_EQ(r.Namespace, "http://physics.nist.gov/N42/2011/N42");
    EXPECT_EQ(r.Measurements, 1);
    EXPECT_EQ(r.MeasurementClass, "Foreground");
    EXPECT_EQ(r.Serial, "1042");
    EXPECT_EQ(r.Live, "PT1800S");
    EXPECT_EQ(r.Real, "PT1800S");
    EXPECT_EQ(r.Start, "2026-03-04T05:06:07Z");
    EXPECT_EQ(r.Counts, "10 2 0 4");
    EXPECT_EQ(r.Coefficients, "-2.5 0.75 9.9999999999999995E-7");
    EXPECT_EQ(r.Remark, "soil <2 mm> & dried");
}

TEST(N42FileText, RemarkReadsTheCommentAsWindows1252) {
    auto s = SmallSample();
    const std::string comment = "5 \x80 per g\x96"
                                "dried";
    s->Comment[0] = static_cast<std::uint8_t>(comment.size());
    std::copy(comment.begin(), comment.end(), s->Comment + 1);
    EXPECT_EQ(ReadN42(N42FileText(*s, {})).Remark, QStringLiteral("5 \u20AC per g\u2013dried"));
}

TEST(N42FileText, WithoutCalibrationOrStartLeavesThemOut) {
    const auto s = SmallSample();
    const QByteArray bytes = N42FileText(*s, {});
    const TN42Read r = ReadN42(bytes);
    EXPECT_TRUE(r.WellFormed);
    EXPECT_TRUE(r.Coefficients.isEmpty());
    EXPECT_TRUE(r.Start.isEmpty());
    EXPECT_FALSE(bytes.contains("energyCalibrationReference"));
}

struct TFormatCase {
    std::string Name;
    QString Text;
    std::optional<TExportFormat> Extension; // as a file name's extension
};

void PrintTo(const TFormatCase& c, std::ostream* os) {
    *os << c.Name;
}

class ExportFormatNames : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(ExportFormatNames, ExtensionAndName) {
    const TFormatCase& c = GetParam();
    EXPECT_EQ(ExportFormatOfExtension(QStringLiteral("/tmp/dir.x/out.") + c.Text), c.Extension);
    EXPECT_EQ(ExportFormatOfName(c.Text), c.Extension);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportFormatNames,
                         ::testing::Values(TFormatCase{"SpaUpper", "SPA", TExportFormat::Spa},
                                           TFormatCase{"SpeLower", "spe", TExportFormat::Spe},
                                           TFormatCase{"N42Mixed", "N42", TExportFormat::N42},
                                           TFormatCase{"Csv", "csv", TExportFormat::Csv},
                                           TFormatCase{"Txt", "txt", std::nullopt},
                                           TFormatCase{"Empty", "", std::nullopt}),
                         [](const auto& info) { return info.param.Name; });

TEST(SpectrumExportDialog, SpaStaysFirstAndDefault) {
    const TFileDialogOptions options = SpectrumExportDialog();
    EXPECT_TRUE(options.Filter.startsWith(SpaSaveDialog().Filter + QLatin1Char('|')));
    EXPECT_EQ(options.DefaultExtension, SpaSaveDialog().DefaultExtension);
    for (const char* ext : {"*.spe", "*.n42", "*.csv"}) {
        EXPECT_TRUE(options.Filter.contains(QLatin1String(ext))) << ext;
    }
}

} // namespace
