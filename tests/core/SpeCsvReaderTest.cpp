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
    EXPECT_EQ(d.Spectrum.Description, "Soil 12, started 2016-05-18T11:55:14");
    EXPECT_EQ(d.Spectrum.Start, "2016-05-18T11:55:14");
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

TEST(SpeFile, DateInAnotherFormIsDescribedButIsNoStart) {
    const TDecoded d = Decode(
        Join({"$SPEC_ID:", "Soil", "$DATE_MEA:", "18.05.2016 11:55", "$DATA:", "0 0", "1"}, "\n"));
    EXPECT_EQ(d.Spectrum.Description, "Soil, measured 18.05.2016 11:55");
    EXPECT_EQ(d.Spectrum.Start, "");
    // A date that does not exist is no start either.
    EXPECT_EQ(Decode(Join({"$DATE_MEA:", "02/30/2016 11:55:14", "$DATA:", "0 0", "1"}, "\n"))
                  .Spectrum.Start,
              "");
}

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
        TBadCase{"CsvSecondHeader", {"ch,counts", "0,5", "a,b"}, "line 3"},
        TBadCase{"CsvLiveTimeText", {"# live time (s),soon", "0,5"}, "line 1: 'soon'"},
        TBadCase{"CsvNanCoefficient", {"# energy (keV) of channel,1,nan", "0,5"}, "'nan'"},
        TBadCase{"CsvFiveCoefficients",
                 {"# energy (keV) of channel,1,2,3,4,5", "0,5"},
                 "more than 4 energy coefficients"}),
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

TEST(CsvFile, CommentLinesCarryLiveTimeStartCalibrationAndDescription) {
    const TDecoded d = Decode("# live time (s),3600.4\r\n# start,2026-03-04T05:06:07\r\n"
                              "# energy (keV) of channel,-12.5,3.25,1e-05\r\n"
                              "# serial number,812\r\n# description,Soil, field 4\r\n"
                              "# a note of another program\r\nchannel,counts\r\n0,5\r\n1,7\r\n");
    ASSERT_EQ(d.Layout, TTextLayout::Csv);
    EXPECT_EQ(d.Spectrum.Size, 2);
    EXPECT_EQ(d.Spectrum.Channels[1], 7);
    EXPECT_EQ(d.Spectrum.LifeTime, 3600);
    EXPECT_EQ(d.Spectrum.Start, "2026-03-04T05:06:07");
    EXPECT_EQ(d.Spectrum.Description, "Soil, field 4, started 2026-03-04T05:06:07");
    EXPECT_EQ(d.Calibration, (TFileCalibration{-12.5, 3.25, 1e-05, 0}));
    EXPECT_EQ(d.Spectrum.SerialNumber, 812);
    EXPECT_EQ(d.Spectrum.SampleID, -1); // not named
    // A serial number that is not a word is passed over.
    EXPECT_EQ(Decode("# serial number,NAI-77\n0,5\n").Spectrum.SerialNumber, -1);
    EXPECT_EQ(Decode("# serial number,65536\n0,5\n").Spectrum.SerialNumber, -1);
    // Comment lines alone are no spectrum.
    EXPECT_EQ(Decode("# live time (s),5\n# x,y\n").Layout, TTextLayout::Unrecognised);
}

TEST(CsvFile, TextWithCommasButNoNumbersIsNotCsv) {
    EXPECT_EQ(Decode("a,b\nc,d\n").Layout, TTextLayout::Unrecognised);
    EXPECT_EQ(Decode("a,b").Layout, TTextLayout::Unrecognised);
    EXPECT_EQ(Decode("$not a key\n1\n").Layout, TTextLayout::Unrecognised);
}

// --- N42-2012 -------------------------------------------------------------------

const std::string N42Head = "<?xml version=\"1.0\"?>\n"
                            "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\">\n"
                            " <RadInstrumentInformation id=\"i\">\n"
                            "  <RadInstrumentIdentifier>1042</RadInstrumentIdentifier>\n"
                            " </RadInstrumentInformation>\n"
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
    EXPECT_EQ(d.Spectrum.SerialNumber, 1042);
}

TEST(N42File, RemarkOfTheSpectrumGoesIntoTheDescription) {
    std::string text = N42Measurement("fg", "Foreground", "1 2");
    text.insert(text.find("   <LiveTimeDuration>"), "   <Remark>Soil,\n  field 4</Remark>\n");
    const TDecoded d = Decode(N42Head + text + "</RadInstrumentData>");
    EXPECT_EQ(d.Spectrum.Description,
              "N42 measurement 1 of 1 (fg), foreground: Soil, field 4, started "
              "2026-12-01T08:00:00Z");
}

TEST(N42File, CountedZeroesBeyondTheSampleAreCountedNotStored) {
    // Three runs of a billion zeroes: counted at once, the count held at 2^31 - 1.
    const TDecoded d = Decode(N42Head +
                              N42Measurement("fg", "Foreground",
                                             "7 0 4094 5 0 1000000000 0 "
                                             "1000000000 0 1000000000 6",
                                             "CountedZeroes") +
                              "</RadInstrumentData>");
    ASSERT_EQ(d.Layout, TTextLayout::N42);
    EXPECT_EQ(d.Spectrum.Size, MaxChannels);
    EXPECT_EQ(d.Spectrum.Channels[0], 7);
    EXPECT_EQ(d.Spectrum.Channels[4095], 5);
    EXPECT_EQ(d.Spectrum.Dropped, 2147483647);
}

TEST(N42File, MeasurementsThatCannotBeChosenAreCountedNotRead) {
    // Once a foreground is chosen, later spectra are not read (their bad
    // counts raise nothing); so are those of later non-foreground ones.
    const TDecoded d = Decode(N42Head + N42Measurement("bg", "Background", "1 1") +
                              N42Measurement("bg2", "Background", "x") +
                              N42Measurement("fg", "Foreground", "3 4") +
                              N42Measurement("fg2", "Foreground", "y") + "</RadInstrumentData>");
    ASSERT_EQ(d.Layout, TTextLayout::N42);
    EXPECT_EQ(d.Spectrum.Channels[1], 4);
    EXPECT_EQ(d.Spectrum.Description.substr(0, 28), "N42 measurement 3 of 4 (fg),");
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

// --- Measurement start -------------------------------------------------------

struct TStartCase {
    std::string Name;
    std::string Text;
    std::string Expected;
};

void PrintTo(const TStartCase& c, std::ostream* os) {
    *os << c.Name;
}

class MeasurementStart : public testing::TestWithParam<TStartCase> {};

TEST_P(MeasurementStart, AcceptsDatesAndTimesThatExist) {
    EXPECT_EQ(MeasurementStartText(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeasurementStart,
    testing::Values(TStartCase{"WallClock", " 2016-05-18T11:55:14 ", "2016-05-18T11:55:14"},
                    TStartCase{"Utc", "2026-12-01T08:00:00Z", "2026-12-01T08:00:00Z"},
                    TStartCase{"OffsetAndFraction", "2026-12-01T08:00:00.25+01:00",
                               "2026-12-01T08:00:00.25+01:00"},
                    TStartCase{"LeapDay", "2024-02-29T00:00:00", "2024-02-29T00:00:00"},
                    TStartCase{"NoLeapDay", "2023-02-29T00:00:00", ""},
                    TStartCase{"Hour24", "2023-02-01T24:00:00", ""},
                    TStartCase{"OffsetTooLarge", "2023-02-01T10:00:00+15:00", ""},
                    TStartCase{"DateOnly", "2023-02-01", ""}, TStartCase{"Text", "yesterday", ""}),
    [](const auto& info) { return info.param.Name; });

TEST(MeasurementStartInComment, KeptWhenTheDescriptionIsCutAndNamedOnce) {
    const std::string start = "2016-05-18T11:55:14";
    const std::string long_(300, 'x');
    const std::string d = DescriptionWithStart(long_, start);
    EXPECT_EQ(d.size(), std::size_t{MaxCommentLength});
    EXPECT_EQ(MeasurementStartOfComment(d), start);
    EXPECT_EQ(DescriptionWithStart("", start), "started " + start);
    EXPECT_EQ(DescriptionWithStart("Soil", ""), "Soil");
    // A description naming the start already is not given it twice.
    EXPECT_EQ(DescriptionWithStart("Soil, started " + start, start), "Soil, started " + start);
    EXPECT_EQ(MeasurementStartOfComment("Soil, started 2016-05-18T11:55:14, field 4"), start);
    EXPECT_EQ(MeasurementStartOfComment("started soon"), "");
    EXPECT_EQ(MeasurementStartOfComment("Soil"), "");
}

} // namespace
