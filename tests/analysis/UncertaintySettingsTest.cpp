#include "analysis/UncertaintySettings.h"

#include "TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

namespace {

// Packed record fields are compared by value: the comparison macros take
// references, which must not bind to possibly misaligned members.
template <typename T> T Value(T v) {
    return v;
}

TUncertaintySettings Valid(double scale, double efficiency, double curve, double factor) {
    return {{scale, efficiency, curve, factor}, true};
}

std::uint64_t Bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(UncertaintyFileTest, RoundTripIsBitIdenticalAnd32Bytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("UncertaintySettings.usf");
    const TUncertainties values{0.1 + 0.2, -0.05, std::numeric_limits<double>::denorm_min(), 2};
    QString error;
    ASSERT_TRUE(SaveUncertaintySettings(values, error, path)) << error.toStdString();
    const QByteArray bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 32);
    // Little-endian binary64 of uFactor = 2 at offset 24.
    EXPECT_EQ(bytes.mid(24), QByteArray::fromHex("0000000000000040"));

    TUncertaintySettings settings;
    EXPECT_EQ(LoadUncertaintySettings(settings, error, path), TUncertaintyLoadStatus::Loaded);
    EXPECT_TRUE(settings.UncertaintySetupValid);
    const TUncertainties read = settings.UncertaintySetup;
    EXPECT_EQ(Bits(read.uScale), Bits(values.uScale));
    EXPECT_EQ(Bits(read.uEfficiency), Bits(values.uEfficiency));
    EXPECT_EQ(Bits(read.uCurve), Bits(values.uCurve));
    EXPECT_EQ(Bits(read.uFactor), Bits(values.uFactor));
}

TEST(UncertaintyFileTest, BytesAfterTheRecordAreIgnored) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.usf");
    QString error;
    ASSERT_TRUE(SaveUncertaintySettings({0.01, 0.05, 0.03, 2}, error, path));
    WriteBytes(path, ReadAll(path) + QByteArray("trailing"));
    TUncertaintySettings settings;
    EXPECT_EQ(LoadUncertaintySettings(settings, error, path), TUncertaintyLoadStatus::Loaded);
    EXPECT_EQ(Value(settings.UncertaintySetup.uFactor), 2);
}

TEST(UncertaintyFileTest, ShortFileIsAReadErrorAndLeavesSettingsNotValid) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.usf");
    QString error;
    ASSERT_TRUE(SaveUncertaintySettings({0.01, 0.05, 0.03, 2}, error, path));
    const QByteArray whole = ReadAll(path);
    for (const int length : {0, 8, 16, 24, 31}) {
        WriteBytes(path, whole.left(length));
        TUncertaintySettings settings = Valid(7, 7, 7, 7);
        error.clear();
        EXPECT_EQ(LoadUncertaintySettings(settings, error, path),
                  TUncertaintyLoadStatus::ReadError);
        EXPECT_FALSE(settings.UncertaintySetupValid);
        EXPECT_EQ(Value(settings.UncertaintySetup.uScale), 7); // values untouched
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString("holds %1 bytes, 32 are needed").arg(length)))
            << error.toStdString();
    }
}

TEST(UncertaintyFileTest, MissingFileIsNotFound) {
    QTemporaryDir dir;
    TUncertaintySettings settings = Valid(1, 1, 1, 1);
    QString error;
    EXPECT_EQ(LoadUncertaintySettings(settings, error, dir.filePath("none.usf")),
              TUncertaintyLoadStatus::NotFound);
    EXPECT_FALSE(settings.UncertaintySetupValid);
}

TEST(UncertaintyFileTest, DefaultNameIsInTheCurrentDirectory) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QString error;
    const bool saved = SaveUncertaintySettings({0.01, 0.05, 0.03, 2}, error);
    QDir::setCurrent(previous);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(QFile::exists(dir.filePath("UncertaintySettings.usf")));
}

TEST(UncertaintyFileTest, FailedSaveReportsAndKeepsNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/folder/s.usf");
    QString error;
    EXPECT_FALSE(SaveUncertaintySettings({0.01, 0.05, 0.03, 2}, error, path));
    EXPECT_TRUE(error.startsWith("Cannot write the uncertainty settings file"))
        << error.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(TotalUncertaintyTest, CombinesUnderRootAndAddsCurveLinearly) {
    double total = -1;
    ASSERT_TRUE(GetTotalUncertainty(Valid(0.01, 0.05, 0.03, 2), 3, total));
    EXPECT_NEAR_REL(total, (2 * std::sqrt(0.0009 + 0.0001 + 0.0025) + 0.03) * 100, 1e-12);
    EXPECT_NEAR(total, 14.832, 0.0005);
    ASSERT_TRUE(GetTotalUncertainty(Valid(0.01, 0.05, 0.03, 2), 0, total));
    EXPECT_NEAR_REL(total, (2 * std::sqrt(0.0001 + 0.0025) + 0.03) * 100, 1e-12);
    TUncertaintySettings invalid = Valid(0.01, 0.05, 0.03, 2);
    invalid.UncertaintySetupValid = false;
    EXPECT_FALSE(GetTotalUncertainty(invalid, 3, total));
    EXPECT_EQ(total, 0);
}

struct StatementCase {
    const char* name;
    TUncertaintySettings settings;
    bool label;
    TPeakResult result;
    const char* expected;
};

void PrintTo(const StatementCase& c, std::ostream* os) {
    *os << c.name;
}

class ActivityStatementTest : public ::testing::TestWithParam<StatementCase> {};

TEST_P(ActivityStatementTest, Text) {
    const StatementCase& c = GetParam();
    EXPECT_EQ(FormatActivityStatement(c.settings, c.label, c.result, '?').toStdString(),
              c.expected);
}

// uFactor 0 makes the total uCurve * 100 whatever the counting uncertainty.
INSTANTIATE_TEST_SUITE_P(Table, ActivityStatementTest,
                         ::testing::Values(StatementCase{.name = "DetectionLimit",
                                                         .settings = Valid(0.01, 0.05, 0.03, 2),
                                                         .label = false,
                                                         .result = {12.34f, 0, 0},
                                                         .expected = "< 12?3 Bq/kg"},
                                           StatementCase{.name = "MarkedLimit",
                                                         .settings = {},
                                                         .label = true,
                                                         .result = {5, -1, 0},
                                                         .expected = "< 5?0 Bq/kg"},
                                           StatementCase{.name = "Nothing",
                                                         .settings = Valid(0.01, 0.05, 0.03, 2),
                                                         .label = false,
                                                         .result = {0, 0, 0},
                                                         .expected = "Invalid parameters"},
                                           StatementCase{.name = "LabelHasNoUncertainty",
                                                         .settings = Valid(0.01, 0.05, 0.03, 2),
                                                         .label = true,
                                                         .result = {1234.56f, 4.9f, 1000},
                                                         .expected = "1234?6 Bq/kg"},
                                           StatementCase{.name = "Example",
                                                         .settings = Valid(0.01, 0.05, 0.03, 2),
                                                         .label = false,
                                                         .result = {100, 3 * 1.96f, 1000},
                                                         .expected = "100?0 Bq/kg +/- 15 %"},
                                           StatementCase{.name = "ExactlyOnePercent",
                                                         .settings = Valid(0, 0, 0.01, 0),
                                                         .label = false,
                                                         .result = {100, 4.9f, 1000},
                                                         .expected = "100?0 Bq/kg +/- < 1 %"},
                                           StatementCase{.name = "HalfToEven",
                                                         .settings = Valid(0, 0, 0.025, 0),
                                                         .label = false,
                                                         .result = {100, 4.9f, 1000},
                                                         .expected = "100?0 Bq/kg +/- 2 %"},
                                           StatementCase{.name = "Rounded",
                                                         .settings = Valid(0, 0, 0.1483, 0),
                                                         .label = false,
                                                         .result = {100, 4.9f, 1000},
                                                         .expected = "100?0 Bq/kg +/- 15 %"},
                                           StatementCase{.name = "CountingOnlyWithoutSettings",
                                                         .settings = {},
                                                         .label = false,
                                                         .result = {100, 4.9f, 1000},
                                                         .expected = "100?0 Bq/kg +/- (5) %"},
                                           StatementCase{.name = "SmallCountingOnlyWithoutSettings",
                                                         .settings = {},
                                                         .label = false,
                                                         .result = {100, 0.8f, 1000},
                                                         .expected = "100?0 Bq/kg +/- (< 1) %"}),
                         [](const auto& info) { return info.param.name; });

TEST(UncertaintyTextsTest, PercentTextsAndBack) {
    const TUncertaintyTexts texts = UncertaintiesToTexts({0.05, 0.12345, 0.001, 2}, '?');
    EXPECT_EQ(texts.Scale, "5?000");
    EXPECT_EQ(texts.Efficiency, "12?300");
    EXPECT_EQ(texts.Curve, "0?100");
    EXPECT_EQ(texts.Factor, "2?000");
    const TUncertainties back = TextsToUncertainties({"5", "-1?5", "abc", "2?5"}, '?');
    EXPECT_NEAR_REL(back.uScale, 0.05, 1e-15);
    EXPECT_NEAR_REL(back.uEfficiency, -0.015, 1e-15);
    EXPECT_EQ(Value(back.uCurve), 0);
    EXPECT_EQ(Value(back.uFactor), 2.5);
    EXPECT_TRUE(HasZeroUncertainty(back));
    EXPECT_FALSE(HasZeroUncertainty({0.01, -0.05, 0.03, 2}));
}

} // namespace
