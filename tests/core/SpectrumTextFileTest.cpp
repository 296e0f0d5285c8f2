#include "core/SpectrumTextFile.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The separator of every fixture: a hard-coded '.' cannot hide.
constexpr char Sep = '?';

std::string Join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string text;
    for (const std::string& line : lines) {
        text += line + end;
    }
    return text;
}

// A ZEMA file: lines 1 to 23, header values as given.
struct TZemaFile {
    std::string RefVoltage = "3000?5";
    std::string Adc = "4096 channels";
    std::string Offset = "12";
    std::string Cal[4] = {"1?5", "0?75", "0", "-2e-7"};
    std::string Header = "Date\tLive\tSPECTRUM";
    std::string Data = "x\t600\ty\t5\t6\t7";
};

std::vector<std::string> ZemaLines(const TZemaFile& f) {
    std::vector<std::string> lines(23, "remark\tnothing here");
    lines[0] = "ZEMA spectrum";
    lines[4] = "Reference\t" + f.RefVoltage;
    lines[5] = "ADC\t" + f.Adc;
    lines[6] = "Offset\t" + f.Offset;
    for (int i = 0; i < 4; ++i) {
        lines[8 + i] = "Cal\t" + f.Cal[i];
    }
    lines[19] = f.Header;
    lines[22] = f.Data;
    return lines;
}

std::string Zema(const TZemaFile& f = {}, const std::string& end = "\r\n") {
    return Join(ZemaLines(f), end);
}

std::string Vintrava(int countLines, const std::string& count = "9") {
    std::vector<std::string> lines = {"[INFO]", "Device\tVintrava 2", "Live\t100", "[CHANNELDATA]"};
    for (int i = 0; i < countLines; ++i) {
        lines.push_back(count == "index" ? std::to_string(i + 1) : count);
    }
    return Join(lines);
}

// A HELIOMAT7xx file as the SPA writer lays it out: count i on line 13 + i.
std::string Heliomat(const std::string& size, const std::string& eMin, const std::string& eMax,
                     int countLines, const std::string& first = "ADR\tWEIGHT:1") {
    std::vector<std::string> lines = {
        first,      "GROUP\tVOLUME:1", "TYPE\t0",        "NUMBER\t0",   "START\t0",
        "SAVE\t77", "E_min\t" + eMin,  "E_max\t" + eMax, "SAMPLE\t300", "SIZE\t" + size,
        "",         "CHANNEL\tCOUNTS"};
    for (int i = 0; i < countLines; ++i) {
        lines.push_back(std::to_string(i + 1) + "\t" + std::to_string(10 * i));
    }
    lines.push_back("");
    lines.push_back("INFO\tcomment");
    return Join(lines);
}

// What the caller had before the read: every field set, so fields the file
// does not provide can be told apart.
TCalSpectrum EntrySpectrum() {
    TCalSpectrum s;
    s.Size = -1;
    s.Offset = 3;
    s.AdcResolution = 5;
    s.RefVoltage = 7.5;
    s.Channels.fill(-4);
    s.LifeTime = 11;
    return s;
}
constexpr TFileCalibration EntryCalibration{9, 9, 9, 9};

TTextLayout Decode(const std::string& text, TCalSpectrum& s, TFileCalibration& cal,
                   bool complete = true) {
    return DecodeSpectrumText(text, QStringLiteral("probe.txt"), Sep, s, cal, complete);
}

// --- Layout recognition ------------------------------------------------------

struct LayoutCase {
    const char* Name;
    std::string Text;
    TTextLayout Expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.Name;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, RecognisesTheFirstLines) {
    const LayoutCase& c = GetParam();
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal = EntryCalibration;
    EXPECT_EQ(Decode(c.Text, s, cal), c.Expected);
    if (c.Expected == TTextLayout::Unrecognised) {
        EXPECT_EQ(s.Size, -1);
        EXPECT_EQ(s.RefVoltage, 7.5);
        EXPECT_EQ(cal, EntryCalibration);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LayoutTest,
    ::testing::Values(
        LayoutCase{"ZemaPrefix", "ZEMA-3 export\r\n", TTextLayout::Zema},
        LayoutCase{"ZemaAloneWithoutLineEnd", "ZEMA", TTextLayout::Zema},
        LayoutCase{"ZemaIsCaseSensitive", "Zema\r\n", TTextLayout::Unrecognised},
        LayoutCase{"VintravaAfterTab", "[INFO]\nDevice\tVintrava 2\n", TTextLayout::Vintrava},
        LayoutCase{"VintravaWithoutTab", "[INFO]\rVintrava\r", TTextLayout::Vintrava},
        LayoutCase{"VintravaCut", "[INFO]\nDevice\tVintra\n", TTextLayout::Unrecognised},
        LayoutCase{"InfoWithBlank", "[INFO] \nDevice\tVintrava\n", TTextLayout::Unrecognised},
        LayoutCase{"InfoAlone", "[INFO]", TTextLayout::Unrecognised},
        LayoutCase{"AdrFirst", "ADR\tWEIGHT:1\r\n", TTextLayout::Heliomat},
        LayoutCase{"AdrAfterInfo", "[INFO]\r\nADR\r\n", TTextLayout::Heliomat},
        LayoutCase{"AdrOnThirdLine", "x\r\n[INFO]\r\nADR\r\n", TTextLayout::Unrecognised},
        LayoutCase{"AdrIsCaseSensitive", "adr\r\n", TTextLayout::Unrecognised},
        LayoutCase{"Empty", "", TTextLayout::Unrecognised},
        LayoutCase{"BinaryJunk", std::string("\0\xff\x81\r\r\n\x1a", 7),
                   TTextLayout::Unrecognised}),
    [](const auto& info) { return info.param.Name; });

// --- What each layout yields --------------------------------------------------

struct ReadCase {
    const char* Name;
    std::string Text;
    TTextLayout Layout;
    std::int32_t Size, Offset, AdcResolution;
    double RefVoltage;
    std::int32_t LifeTime;
    std::vector<std::pair<int, std::int32_t>> Channels; // index, count
    TFileCalibration Calibration;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.Name;
}

class ReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTest, FillsTheFieldsOfTheLayout) {
    const ReadCase& c = GetParam();
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal = EntryCalibration;
    ASSERT_EQ(Decode(c.Text, s, cal), c.Layout);
    EXPECT_EQ(s.Size, c.Size);
    EXPECT_EQ(s.Offset, c.Offset);
    EXPECT_EQ(s.AdcResolution, c.AdcResolution);
    EXPECT_DOUBLE_EQ(s.RefVoltage, c.RefVoltage);
    EXPECT_EQ(s.LifeTime, c.LifeTime);
    for (const auto& [index, count] : c.Channels) {
        EXPECT_EQ(s.Channels[index], count) << "index " << index;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(cal[i], c.Calibration[i]) << "calibration " << i;
    }
}

TZemaFile ZemaWith(std::string header, std::string data) {
    TZemaFile f;
    f.Header = std::move(header);
    f.Data = std::move(data);
    return f;
}

std::string ManyFields(int n, const std::string& value = "1") {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += (i ? "\t" : "") + value;
    }
    return s;
}

const TFileCalibration ZemaCal{1.5, 0.75, 0, -2e-7};

INSTANTIATE_TEST_SUITE_P(
    Table, ReadTest,
    ::testing::Values(
        ReadCase{"ZemaSpectrumColumn",
                 Zema(),
                 TTextLayout::Zema,
                 3,
                 12,
                 4096,
                 3000.5,
                 600,
                 {{0, 5}, {1, 6}, {2, 7}, {3, -4}},
                 ZemaCal},
        ReadCase{"ZemaLfLineEnds",
                 Zema({}, "\n"),
                 TTextLayout::Zema,
                 3,
                 12,
                 4096,
                 3000.5,
                 600,
                 {{2, 7}},
                 ZemaCal},
        ReadCase{"ZemaCrLineEnds",
                 Zema({}, "\r"),
                 TTextLayout::Zema,
                 3,
                 12,
                 4096,
                 3000.5,
                 600,
                 {{2, 7}},
                 ZemaCal},
        ReadCase{"ZemaTrailingTabAddsZero",
                 Zema(ZemaWith("a\tSPECTRUM", "x\t600\t5\t6\t")),
                 TTextLayout::Zema,
                 3,
                 12,
                 4096,
                 3000.5,
                 600,
                 {{0, 5}, {1, 6}, {2, 0}},
                 ZemaCal},
        ReadCase{"ZemaNoSpectrumColumnStartsAtField13",
                 Zema(ZemaWith("a\tb", ManyFields(12, "2") + "\t8\t9")),
                 TTextLayout::Zema,
                 2,
                 12,
                 4096,
                 3000.5,
                 2,
                 {{0, 8}, {1, 9}},
                 ZemaCal},
        ReadCase{"ZemaSpectrumAsField30IsNotSeen",
                 Zema(ZemaWith(ManyFields(29, "h") + "\tSPECTRUM", ManyFields(12, "3") + "\t4")),
                 TTextLayout::Zema,
                 1,
                 12,
                 4096,
                 3000.5,
                 3,
                 {{0, 4}},
                 ZemaCal},
        ReadCase{"ZemaDataLineShorterThanStart",
                 Zema(ZemaWith("a\tb", "x\t600\t1")),
                 TTextLayout::Zema,
                 0,
                 12,
                 4096,
                 3000.5,
                 600,
                 {{0, -4}},
                 ZemaCal},
        ReadCase{"ZemaCountsThatAreNotInt32ReadZero",
                 Zema(ZemaWith("SPECTRUM", "x\t1\tabc\t4294967296\t-3\t2147483647\t1?5\t")),
                 TTextLayout::Zema,
                 7,
                 12,
                 4096,
                 3000.5,
                 1,
                 {{0, 1}, {1, 0}, {2, 0}, {3, -3}, {4, 2147483647}, {5, 0}, {6, 0}},
                 ZemaCal},
        ReadCase{"ZemaFullArray",
                 Zema(ZemaWith("SPECTRUM", ManyFields(CalChannels + 1, "7"))),
                 TTextLayout::Zema,
                 CalChannels,
                 12,
                 4096,
                 3000.5,
                 7,
                 {{4096, 7}},
                 ZemaCal},
        ReadCase{"ZemaAdcResolutionZero",
                 [] {
                     TZemaFile f;
                     f.Adc = "0 channels";
                     return Zema(f);
                 }(),
                 TTextLayout::Zema,
                 3,
                 12,
                 0,
                 3000.5,
                 600,
                 {},
                 ZemaCal},
        ReadCase{"ZemaHeaderOnlyKeepsTheRest",
                 "ZEMA\r\n2\r\n3\r\n4\r\nV\t10\r\nA\t8 ch\r\n",
                 TTextLayout::Zema,
                 -1,
                 3,
                 8,
                 10,
                 11,
                 {{0, -4}},
                 EntryCalibration},
        ReadCase{"Vintrava300Lines",
                 Vintrava(300, "index"),
                 TTextLayout::Vintrava,
                 256,
                 0,
                 256,
                 2500,
                 11,
                 {{0, 1}, {255, 256}, {299, 300}, {300, -4}},
                 EntryCalibration},
        ReadCase{"VintravaBeyondTheArray",
                 Vintrava(5000, "index"),
                 TTextLayout::Vintrava,
                 256,
                 0,
                 256,
                 2500,
                 11,
                 {{4096, 4097}},
                 EntryCalibration},
        ReadCase{"VintravaJunkCounts",
                 Vintrava(2, "12 counts"),
                 TTextLayout::Vintrava,
                 256,
                 0,
                 256,
                 2500,
                 11,
                 {{0, 0}, {1, 0}, {2, -4}},
                 EntryCalibration},
        ReadCase{"VintravaWithoutChannelData",
                 "[INFO]\nDevice\tVintrava\n5\n6\n",
                 TTextLayout::Vintrava,
                 256,
                 0,
                 256,
                 2500,
                 11,
                 {{0, -4}},
                 EntryCalibration},
        // Line 13 holds count 0, which is not read; line 13 + i gives index i.
        ReadCase{"HeliomatGroupsOfOne",
                 Heliomat("8", "100", "300", 12),
                 TTextLayout::Heliomat,
                 8,
                 0,
                 8,
                 4096,
                 300,
                 {{0, -4}, {1, 10}, {8, 80}, {9, -4}},
                 {-4, 0.04, 9, 9}},
        ReadCase{"HeliomatGroupsOfTwoFromIndexZero",
                 Heliomat("2048", "0", "1024", 2100),
                 TTextLayout::Heliomat,
                 1024,
                 0,
                 2048,
                 4096,
                 300,
                 {{0, 10 + 20}, {1, 30 + 40}, {1023, 2047 * 10 + 2048 * 10}, {1024, -4}},
                 {0, 1, 9, 9}},
        ReadCase{"HeliomatGroupsOfFour",
                 Heliomat("4096", "50", "2098", 4200),
                 TTextLayout::Heliomat,
                 1024,
                 0,
                 4096,
                 4096,
                 300,
                 {{0, 10 + 20 + 30 + 40}, {1023, 10 * (4093 + 4094 + 4095 + 4096)}, {1024, -4}},
                 {-25, 0.5, 9, 9}},
        ReadCase{"HeliomatEmaxNotAboveEmin",
                 Heliomat("4", "300", "300", 4),
                 TTextLayout::Heliomat,
                 4,
                 0,
                 4,
                 4096,
                 300,
                 {{3, 30}, {4, 0}, {5, -4}},
                 {0, 0.0004, 9, 9}},
        ReadCase{"HeliomatSizeZero",
                 Heliomat("0", "0", "10", 3),
                 TTextLayout::Heliomat,
                 0,
                 0,
                 0,
                 4096,
                 300,
                 {{0, -4}, {1, -4}},
                 {0, 0, 9, 9}},
        ReadCase{"HeliomatAfterInfoCountsOneBehind",
                 "[INFO]\r\n" + Heliomat("3", "0", "3", 4),
                 TTextLayout::Heliomat,
                 3,
                 0,
                 3,
                 4096,
                 300,
                 {{0, -4}, {1, 10}, {3, 30}, {4, -4}},
                 {0, 1, 9, 9}},
        ReadCase{"HeliomatEndsBeforeData",
                 "ADR\r\n2\r\n3\r\n4\r\n5\r\n6\r\nE\t1\r\n",
                 TTextLayout::Heliomat,
                 -1,
                 0,
                 5,
                 4096,
                 11,
                 {{1, -4}},
                 EntryCalibration}),
    [](const auto& info) { return info.param.Name; });

TEST(SpectrumTextFile, HeliomatGroupSumsSaturate) {
    std::vector<std::string> lines = {"ADR",  "",     "",           "", "", "", "E\t0",
                                      "E\t1", "T\t1", "SIZE\t4096", "", "", ""};
    for (int i = 0; i < 8; ++i) {
        lines.push_back(i < 4 ? "\t2147483647" : "\t-2147483648");
    }
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal{};
    ASSERT_EQ(Decode(Join(lines), s, cal), TTextLayout::Heliomat);
    EXPECT_EQ(s.Channels[0], 2147483647);
    EXPECT_EQ(s.Channels[1], -2147483647 - 1);
}

// --- Conversion errors ---------------------------------------------------------

struct ErrorCase {
    const char* Name;
    std::string Text;
    const char* Message; // the whole message
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.Name;
}

class ErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, NamesFileAndLineAndChangesNothing) {
    const ErrorCase& c = GetParam();
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal = EntryCalibration;
    try {
        Decode(c.Text, s, cal);
        FAIL() << "no conversion error";
    } catch (const EConversionError& e) {
        EXPECT_STREQ(e.what(), c.Message);
    }
    const TCalSpectrum entry = EntrySpectrum();
    EXPECT_EQ(s.Size, entry.Size);
    EXPECT_EQ(s.Offset, entry.Offset);
    EXPECT_EQ(s.AdcResolution, entry.AdcResolution);
    EXPECT_EQ(s.RefVoltage, entry.RefVoltage);
    EXPECT_EQ(s.LifeTime, entry.LifeTime);
    EXPECT_EQ(s.Channels, entry.Channels);
    EXPECT_EQ(cal, EntryCalibration);
}

template <typename F> std::string ZemaChanged(F change) {
    TZemaFile f;
    change(f);
    return Zema(f);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorTest,
    ::testing::Values(
        ErrorCase{"ZemaRefVoltageWithPoint",
                  ZemaChanged([](TZemaFile& f) { f.RefVoltage = "3000.5"; }),
                  "probe.txt, line 5: '3000.5' is not a valid number"},
        ErrorCase{"ZemaAdcWithoutSpace", ZemaChanged([](TZemaFile& f) { f.Adc = "4096"; }),
                  "probe.txt, line 6: '' is not a valid integer"},
        ErrorCase{"ZemaAdcNotInteger", ZemaChanged([](TZemaFile& f) { f.Adc = "4k ch"; }),
                  "probe.txt, line 6: '4k' is not a valid integer"},
        ErrorCase{"ZemaOffsetWithDecimals", ZemaChanged([](TZemaFile& f) { f.Offset = "1?5"; }),
                  "probe.txt, line 7: '1?5' is not a valid integer"},
        ErrorCase{"ZemaCalibrationEmpty", ZemaChanged([](TZemaFile& f) { f.Cal[2] = ""; }),
                  "probe.txt, line 11: '' is not a valid number"},
        ErrorCase{"ZemaLifeTimeMissing", Zema(ZemaWith("SPECTRUM", "600")),
                  "probe.txt, line 23: '' is not a valid integer"},
        ErrorCase{"ZemaLifeTimeBeyond32Bits", Zema(ZemaWith("SPECTRUM", "x\t2147483648\t1")),
                  "probe.txt, line 23: '2147483648' is not a valid integer"},
        ErrorCase{"ZemaMoreCountsThanTheArray",
                  Zema(ZemaWith("SPECTRUM", ManyFields(CalChannels + 2))),
                  "probe.txt, line 23: more than 4097 counts, more than a spectrum holds"},
        ErrorCase{"LongJunkIsShortened",
                  ZemaChanged([](TZemaFile& f) { f.RefVoltage = std::string(100, 'x'); }),
                  "probe.txt, line 5: 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' is not a "
                  "valid number"},
        ErrorCase{"HeliomatEminJunk", Heliomat("8", "1e2", "300", 8),
                  "probe.txt, line 7: '1e2' is not a valid integer"},
        ErrorCase{"HeliomatEmaxEmpty", Heliomat("8", "0", "", 8),
                  "probe.txt, line 8: '' is not a valid integer"},
        ErrorCase{"HeliomatSizeAboveTheArray", Heliomat("70000", "0", "100", 8),
                  "probe.txt, line 10: SIZE 70000 is not a number of channels from 0 to 4096"},
        ErrorCase{"HeliomatSizeNegative", Heliomat("-5", "0", "100", 8),
                  "probe.txt, line 10: SIZE -5 is not a number of channels from 0 to 4096"},
        ErrorCase{"HeliomatAfterInfoNamesThePhysicalLine",
                  "[INFO]\r\n" + Heliomat("8", "x", "300", 8),
                  "probe.txt, line 8: 'x' is not a valid integer"}),
    [](const auto& info) { return info.param.Name; });

// --- Only the beginning of a file was read ---------------------------------------

TEST(SpectrumTextFile, IncompleteBytesAreEnoughWhenTheDataEndsInThem) {
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal{};
    const std::string text = Zema() + "more\r\nand a cut li";
    EXPECT_EQ(Decode(text, s, cal, false), TTextLayout::Zema);
    EXPECT_EQ(s.Size, 3);
}

TEST(SpectrumTextFile, IncompleteBytesThatCutTheDataAreRefused) {
    const std::string full = Heliomat("100", "0", "100", 100);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{40}, full.size() / 2}) {
        TCalSpectrum s = EntrySpectrum();
        TFileCalibration cal = EntryCalibration;
        EXPECT_THROW(Decode(full.substr(0, cut), s, cal, false), EConversionError) << cut;
        EXPECT_EQ(s.Size, -1);
        EXPECT_EQ(cal, EntryCalibration);
    }
}

// --- Files ------------------------------------------------------------------------

TEST(SpectrumTextFile, FilesThatCannotBeReadAreUnrecognised) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& path : {dir.filePath("missing.txt"), dir.path()}) {
        TCalSpectrum s = EntrySpectrum();
        TFileCalibration cal = EntryCalibration;
        EXPECT_EQ(ReadSpectrumTextFile(path, Sep, s, cal), TTextLayout::Unrecognised);
        EXPECT_EQ(s.Size, -1);
        EXPECT_EQ(cal, EntryCalibration);
    }
}

TEST(SpectrumTextFile, FileErrorsNameThePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("bad.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::string text = Heliomat("8", "zero", "1", 8);
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();
    TCalSpectrum s = EntrySpectrum();
    TFileCalibration cal{};
    try {
        ReadSpectrumTextFile(path, Sep, s, cal);
        FAIL() << "no conversion error";
    } catch (const EConversionError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QDir::toNativeSeparators(path) + ", line 7: 'zero' is not a valid integer");
    }
}

// --- SPA files --------------------------------------------------------------------

// Stays here: edge values in every field the SPA text shows (a time beyond
// 2^31, 1e12 counts, a comment byte outside ASCII), set byte for byte.
TSampleFile SpaSample() {
    TSampleFile s{};
    s.Valid = 1;
    TSampleParameter p{};
    p.SampleType = 3;
    p.SampleInterval = 4000000000u;
    p.Volume = 2.0f;
    p.Weight = 1.1f;
    p.SerialNumber = 65535;
    p.SampleID = 6;
    s.Sample.Parameter = p;
    s.Sample.Spectrum.Size = 4;
    const float counts[] = {1.5f, 2.5f, -0.5f, 1e12f};
    std::memcpy(s.Sample.Spectrum.Channel, counts, sizeof counts);
    const char comment[] = "\xe4rger\tx";
    s.Comment[0] = sizeof comment - 1;
    std::memcpy(s.Comment + 1, comment, sizeof comment - 1);
    return s;
}

TEST(SpaFile, IsWrittenByteForByte) {
    const QByteArray text = SpaFileText(SpaSample(), 100, 2999, Sep);
    EXPECT_EQ(text.toStdString(), "ADR\tWEIGHT:1?10000002384186\r\n"
                                  "GROUP\tVOLUME:2\r\n"
                                  "TYPE\t3\r\n"
                                  "NUMBER\t65535\r\n"
                                  "START\t0\r\n"
                                  "SAVE\t4000000000\r\n"
                                  "E_min\t100\r\n"
                                  "E_max\t2999\r\n"
                                  "SAMPLE\t6\r\n"
                                  "SIZE\t4\r\n"
                                  "\r\n"
                                  "CHANNEL\tCOUNTS\r\n"
                                  "1\t2\r\n"
                                  "2\t2\r\n"
                                  "3\t0\r\n"
                                  "4\t999999995904\r\n"
                                  "\r\n"
                                  "INFO\t\xe4rger\tx\r\n");
}

TEST(SpaFile, EnergiesThatCannotBeFoundLeaveZeroAndAnEmptyEnd) {
    const std::string text =
        SpaFileText(SpaSample(), std::nullopt, std::nullopt, Sep).toStdString();
    EXPECT_NE(text.find("\r\nE_min\t0\r\nE_max\t\r\nSAMPLE"), std::string::npos) << text;
}

TEST(SpaFile, ThousandTwentyFourChannelsMake1038Lines) {
    TSampleFile s = SpaSample();
    s.Sample.Spectrum.Size = 1024;
    const QByteArray text = SpaFileText(s, 0, 1, '.');
    EXPECT_EQ(text.count("\r\n"), 1038);
    EXPECT_TRUE(text.endsWith("1024\t0\r\n\r\nINFO\t\xe4rger\tx\r\n"));
}

TEST(SpaFile, ReadsBackAsHeliomatWithTheCountsAtTheirIndex) {
    TSampleFile s = SpaSample();
    s.Sample.Spectrum.Size = 1000;
    for (int i = 0; i < 1000; ++i) {
        s.Sample.Spectrum.Channel[i] = static_cast<float>(3 * i);
    }
    const QByteArray text = SpaFileText(s, 40, 1040, Sep);
    TCalSpectrum read{0, 0, 0, 0, {}, 0, 0, {}, {}, -1, -1};
    TFileCalibration cal{};
    ASSERT_EQ(Decode(text.toStdString(), read, cal), TTextLayout::Heliomat);
    EXPECT_EQ(read.Size, 1000);
    EXPECT_EQ(read.LifeTime, 6); // line 9 holds the sample ID
    EXPECT_EQ(read.Channels[0], 0);
    for (int i = 1; i < 1000; ++i) {
        ASSERT_EQ(read.Channels[i], 3 * i) << i;
    }
    EXPECT_DOUBLE_EQ(cal[1], 1.0);
    EXPECT_DOUBLE_EQ(cal[0] + 40 * cal[1], 0.0); // E_min at channel 0
}

TEST(SpaFile, WriteReplacesTheFileAtomically) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.SPA");
    QString error;
    ASSERT_TRUE(WriteSpaFile(path, "ADR\r\n", error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("ADR\r\n"));
    EXPECT_FALSE(WriteSpaFile(dir.path(), "x", error));
    EXPECT_TRUE(error.contains("spectrum text file")) << error.toStdString();
}

} // namespace
