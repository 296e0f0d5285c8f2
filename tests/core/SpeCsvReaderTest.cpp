// Reading SPE and two-column CSV spectra.
#include "core/Errors.h"
#include "core/SpectrumTextFile.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Join(const std::vector<std::string>& lines, const std::string& end) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + end;
    }
    return text;
}

struct TDecoded {
    TTextLayout Layout = TTextLayout::Unrecognised;
    TCalSpectrum Spectrum;
    TFileCalibration Calibration{};
};

TDecoded Decode(const std::string& text) {
    TDecoded d;
    d.Spectrum.LifeTime = 7;
    d.Layout = DecodeSpectrumText(text, QStringLiteral("f.spe"), ',', d.Spectrum, d.Calibration);
    return d;
}

// An SPE file of four channels, 100 s live time, and the given calibration lines.
std::vector<std::string> SpeLines(const std::vector<std::string>& calibration) {
    std::vector<std::string> lines{"$SPEC_ID:",  "Soil 12",  "$DATE_MEA:", "05/18/2016 11:55:14",
                                   "$MEAS_TIM:", "100 102",  "$DATA:",     "0 3",
                                   "       5",   "       0", "     123",   "       9"};
    lines.insert(lines.end(), calibration.begin(), calibration.end());
    return lines;
}

struct TSpeCase {
    std::string Name;
    std::vector<std::string> Calibration;
    std::string End;
    TFileCalibration Expected;
};

void PrintTo(const TSpeCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpeTest : public testing::TestWithParam<TSpeCase> {};

TEST_P(SpeTest, ReadsCountsLiveTimeDescriptionAndCalibration) {
    const TSpeCase& c = GetParam();
    const TDecoded d = Decode(Join(SpeLines(c.Calibration), c.End));
    ASSERT_EQ(d.Layout, TTextLayout::Spe);
    EXPECT_EQ(d.Spectrum.Size, 4);
    EXPECT_EQ(d.Spectrum.Offset, 0);
    EXPECT_EQ(d.Spectrum.Channels[0], 5);
    EXPECT_EQ(d.Spectrum.Channels[2], 123);
    EXPECT_EQ(d.Spectrum.Channels[3], 9);
    EXPECT_EQ(d.Spectrum.Channels[4], 0);
    EXPECT_EQ(d.Spectrum.LifeTime, 100);
    EXPECT_EQ(d.Spectrum.Dropped, 0);
    EXPECT_EQ(d.Spectrum.Description, "Soil 12, measured 05/18/2016 11:55:14");
    EXPECT_EQ(d.Calibration, c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpeTest,
    testing::Values(
        TSpeCase{"EnerFitOnlyLf", {"$ENER_FIT:", "-11.5 3.25"}, "\n", {-11.5, 3.25, 0, 0}},
        TSpeCase{"EnerFitOnlyCrLf", {"$ENER_FIT:", "-11.5 3.25"}, "\r\n", {-11.5, 3.25, 0, 0}},
        TSpeCase{"McaCalTwo", {"$MCA_CAL:", "2", "-1.5E+001 3.0E+000 keV"}, "\r\n", {-15, 3, 0, 0}},
        TSpeCase{"McaCalThreeBeforeEnerFit",
                 {"$ENER_FIT:", "1 2", "$MCA_CAL:", "3", "2.0E+000 3.0E+000 1.0E-003 keV"},
                 "\n",
                 {2, 3, 0.001, 0}},
        TSpeCase{"AllZeroMcaCalGivesEnerFit",
                 {"$ENER_FIT:", "1 2", "$MCA_CAL:", "3", "0.0E+000 0.0E+000 0.0E+000"},
                 "\n",
                 {1, 2, 0, 0}},
        TSpeCase{"AllZero",
                 {"$ENER_FIT:", "0.000000 0.000000", "$MCA_CAL:", "3", "0 0 0"},
                 "\r\n",
                 {0, 0, 0, 0}},
        TSpeCase{"None", {}, "\n", {0, 0, 0, 0}}),
    [](const auto& info) { return info.param.Name; });

TEST(SpeFile, RangeThatDisagreesWithTheLinesFollowsTheLines) {
    // Two lines fewer than the range says, then three channels more.
    TDecoded d = Decode(Join({"$DATA:", "0 3", "1", "2", "$ROI:", "0"}, "\n"));
    ASSERT_EQ(d.Layout, TTextLayout::Spe);
    EXPECT_EQ(d.Spectrum.Size, 2);
    d = Decode(Join({"$DATA:", "2 3", "1 2 3", "4"}, "\n"));
    EXPECT_EQ(d.Spectrum.Size, 6);
    EXPECT_EQ(d.Spectrum.Channels[1], 0);
    EXPECT_EQ(d.Spectrum.Channels[2], 1);
    EXPECT_EQ(d.Spectrum.Channels[5], 4);
}

TEST(SpeFile, ChannelsBeyondTheSampleAreCountedNotStored) {
    std::vector<std::string> lines{"$DATA:", "4094 4200"};
    for (int i = 4094; i <= 4200; ++i) {
        lines.push_back("3");
    }
    const TDecoded d = Decode(Join(lines, "\n"));
    EXPECT_EQ(d.Spectrum.Size, MaxChannels);
    EXPECT_EQ(d.Spectrum.Channels[4095], 3);
    EXPECT_EQ(d.Spectrum.Channels[4096], 0);
    EXPECT_EQ(d.Spectrum.Dropped, 4200 - 4096 + 1);
}

struct TBadCase {
    std::string Name;
    std::vector<std::string> Lines;
    std::string Message;
};

void PrintTo(const TBadCase& c, std::ostream* os) {
    *os << c.Name;
}

class BadForeignTest : public testing::TestWithParam<TBadCase> {};

TEST_P(BadForeignTest, NamesTheLineAndChangesNothing) {
    const TBadCase& c = GetParam();
    TCalSpectrum spectrum;
    spectrum.Size = 3;
    spectrum.Channels[0] = 42;
    spectrum.Description = "before";
    TFileCalibration calibration{1, 2, 3, 4};
    try {
        DecodeSpectrumText(Join(c.Lines, "\n"), QStringLiteral("f"), '.', spectrum, calibration);
        FAIL() << "no error";
    } catch (const EConversionError& e) {
        EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
    EXPECT_EQ(spectrum.Size, 3);
    EXPECT_EQ(spectrum.Channels[0], 42);
    EXPECT_EQ(spectrum.Description, "before");
    EXPECT_EQ(calibration, (TFileCalibration{1, 2, 3, 4}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadForeignTest,
    testing::Values(
        TBadCase{"NegativeCount", {"$DATA:", "0 1", "5", "-1"}, "f, line 4: the count -1"},
        TBadCase{"TextCount", {"$DATA:", "0 1", "5", "x"}, "f, line 4: 'x' is not a valid"},
        TBadCase{"RangeBackwards", {"$DATA:", "5 1", "5"}, "not a range of channels"},
        TBadCase{"RangeMissing", {"$DATA:", "5"}, "needs a first and a last channel"},
        TBadCase{"NanCoefficient", {"$ENER_FIT:", "nan 1"}, "'nan' is not a valid number"},
        TBadCase{"NegativeLiveTime", {"$MEAS_TIM:", "-5 3"}, "live time"},
        TBadCase{"CsvNegativeChannel", {"0,1", "-1,5"}, "f, line 2: the channel -1"},
        TBadCase{"CsvNegativeCount", {"ch,counts", "0,-5"}, "the count -5"},
        TBadCase{"CsvSecondHeader", {"ch,counts", "0,5", "a,b"}, "line 3"}),
    [](const auto& info) { return info.param.Name; });

TEST(CsvFile, ReadsWithAndWithoutHeader) {
    for (const std::string& header : {std::string(), std::string("channel,counts\r\n")}) {
        const TDecoded d = Decode(header + "0,5\r\n1, 7\r\n\r\n3,9\r\n5000,1\r\n");
        ASSERT_EQ(d.Layout, TTextLayout::Csv) << header;
        EXPECT_EQ(d.Spectrum.Size, 4);
        EXPECT_EQ(d.Spectrum.Channels[1], 7);
        EXPECT_EQ(d.Spectrum.Channels[2], 0);
        EXPECT_EQ(d.Spectrum.Channels[3], 9);
        EXPECT_EQ(d.Spectrum.Dropped, 1);
        EXPECT_EQ(d.Spectrum.LifeTime, 7); // the file has none
        EXPECT_EQ(d.Calibration, (TFileCalibration{}));
    }
}

TEST(CsvFile, TextWithCommasButNoNumbersIsNotCsv) {
    EXPECT_EQ(Decode("a,b\nc,d\n").Layout, TTextLayout::Unrecognised);
    EXPECT_EQ(Decode("a,b").Layout, TTextLayout::Unrecognised);
    EXPECT_EQ(Decode("$not a key\n1\n").Layout, TTextLayout::Unrecognised);
}

// --- N42-2012 -------------------------------------------------------------------

const std::string N42Head = "<?xml version=\"1.0\"?>\n"
                            "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\">\n"
                            " <EnergyCalibration id=\"ec1\">\n"
                            "  <CoefficientValues>-12 3 0.0001</CoefficientValues>\n"
                            " </EnergyCalibration>\n";

std::string N42Measurement(const std::string& id, const std::string& kind, const std::string& data,
                           const std::string& compression = {}) {
    return " <RadMeasurement id=\"" + id + "\">\n  <MeasurementClassCode>" + kind +
           "</MeasurementClassCode>\n  <StartDateTime>2026-12-01T08:00:00Z</StartDateTime>\n"
           "  <RealTimeDuration>PT610S</RealTimeDuration>\n"
           "  <Spectrum id=\"s" +
           id +
           "\" energyCalibrationReference=\"ec1\">\n"
           "   <LiveTimeDuration>PT600.4S</LiveTimeDuration>\n   <ChannelData" +
           (compression.empty() ? "" : " compressionCode=\"" + compression + "\"") + ">" + data +
           "</ChannelData>\n  </Spectrum>\n </RadMeasurement>\n";
}

TEST(N42File, TakesTheFirstForegroundMeasurementAndSaysWhich) {
    const std::string text = N42Head + N42Measurement("bg", "Background", "9 9 9") +
                             N42Measurement("fg", "Foreground", "5 0 3 7", "CountedZeroes") +
                             N42Measurement("fg2", "Foreground", "1 1") + "</RadInstrumentData>\n";
    const TDecoded d = Decode(text);
    ASSERT_EQ(d.Layout, TTextLayout::N42);
    EXPECT_EQ(d.Spectrum.Size, 5);
    EXPECT_EQ(d.Spectrum.Channels[0], 5);
    EXPECT_EQ(d.Spectrum.Channels[3], 0);
    EXPECT_EQ(d.Spectrum.Channels[4], 7);
    EXPECT_EQ(d.Spectrum.LifeTime, 600);
    EXPECT_EQ(d.Calibration, (TFileCalibration{-12, 3, 0.0001, 0}));
    EXPECT_EQ(d.Spectrum.Description,
              "N42 measurement 2 of 3 (fg), foreground, started 2026-12-01T08:00:00Z");
}

TEST(N42File, WithoutForegroundTakesTheFirstMeasurement) {
    const TDecoded d = Decode(N42Head + N42Measurement("a", "Background", "4 4") +
                              N42Measurement("b", "Calibration", "1") + "</RadInstrumentData>");
    ASSERT_EQ(d.Layout, TTextLayout::N42);
    EXPECT_EQ(d.Spectrum.Size, 2);
    EXPECT_EQ(d.Spectrum.Channels[1], 4);
}

INSTANTIATE_TEST_SUITE_P(
    N42, BadForeignTest,
    testing::Values(
        TBadCase{
            "Malformed", {"<?xml version=\"1.0\"?>", "<RadInstrumentData>", "<a></b>"}, "line 3"},
        TBadCase{"WrongRoot", {"<?xml version=\"1.0\"?>", "<html/>"}, "not RadInstrumentData"},
        TBadCase{"NoSpectrum", {"<RadInstrumentData/>"}, "no measurement with a spectrum"},
        TBadCase{"NegativeCount",
                 {N42Head + N42Measurement("a", "Foreground", "1 -2") + "</RadInstrumentData>"},
                 "'-2' is not a count"},
        TBadCase{"BadDuration",
                 {"<RadInstrumentData><RadMeasurement><Spectrum><LiveTimeDuration>600"
                  "</LiveTimeDuration></Spectrum></RadMeasurement></RadInstrumentData>"},
                 "'600' is not a duration"},
        TBadCase{"DeepNesting",
                 {"<RadInstrumentData>" +
                  [] {
                      std::string deep;
                      for (int i = 0; i < 100; ++i) {
                          deep += "<x>";
                      }
                      return deep;
                  }()},
                 "nested more than 64 deep"},
        TBadCase{"EntityExpansion",
                 {"<?xml version=\"1.0\"?>",
                  "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
                  "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                  "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                  "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                  "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>",
                  "<RadInstrumentData><RadMeasurement><Spectrum><ChannelData>&e;&e;&e;"
                  "</ChannelData></Spectrum></RadMeasurement></RadInstrumentData>"},
                 "f, line"}),
    [](const auto& info) { return info.param.Name; });

} // namespace
