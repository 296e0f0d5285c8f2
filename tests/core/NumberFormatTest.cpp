#include "core/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace {

struct FixedCase {
    const char* name;
    double value;
    int precision;
    int decimals;
    const char* expected;
};

void PrintTo(const FixedCase& c, std::ostream* os) {
    *os << c.name;
}

class FixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedTest, Formats) {
    const FixedCase& c = GetParam();
    EXPECT_EQ(FormatFixed(c.value, c.precision, c.decimals, '?'), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FixedTest,
    ::testing::Values(
        FixedCase{
            .name = "PadsDecimals", .value = 5, .precision = 3, .decimals = 3, .expected = "5?000"},
        FixedCase{.name = "ZerosBeyondPrecision",
                  .value = 12.345,
                  .precision = 3,
                  .decimals = 3,
                  .expected = "12?300"},
        FixedCase{.name = "OneDecimal",
                  .value = 1234.56,
                  .precision = 18,
                  .decimals = 1,
                  .expected = "1234?6"},
        FixedCase{.name = "SingleWidened",
                  .value = double(1234.56f),
                  .precision = 18,
                  .decimals = 1,
                  .expected = "1234?6"},
        FixedCase{
            .name = "NoDecimals", .value = 0.4, .precision = 3, .decimals = 0, .expected = "0"},
        FixedCase{.name = "RoundsToInteger",
                  .value = 14.832,
                  .precision = 3,
                  .decimals = 0,
                  .expected = "15"},
        FixedCase{.name = "WeightTwoDecimals",
                  .value = 1.5,
                  .precision = 3,
                  .decimals = 2,
                  .expected = "1?50"},
        FixedCase{
            .name = "TieToEvenDown", .value = 2.5, .precision = 3, .decimals = 0, .expected = "2"},
        FixedCase{
            .name = "TieToEvenUp", .value = 3.5, .precision = 3, .decimals = 0, .expected = "4"},
        FixedCase{.name = "ExactBinaryTie",
                  .value = 0.125,
                  .precision = 18,
                  .decimals = 2,
                  .expected = "0?12"},
        FixedCase{.name = "Negative",
                  .value = -2.345678,
                  .precision = 4,
                  .decimals = 2,
                  .expected = "-2?35"},
        FixedCase{.name = "NegativeRoundsToZero",
                  .value = -0.04,
                  .precision = 18,
                  .decimals = 1,
                  .expected = "0?0"},
        FixedCase{.name = "Zero", .value = 0, .precision = 3, .decimals = 3, .expected = "0?000"},
        FixedCase{.name = "SmallFraction",
                  .value = 0.001234,
                  .precision = 3,
                  .decimals = 5,
                  .expected = "0?00123"},
        FixedCase{.name = "CarryAddsDigit",
                  .value = 9.996,
                  .precision = 3,
                  .decimals = 2,
                  .expected = "10?00"},
        FixedCase{.name = "IntegerPartTooLong",
                  .value = 12345,
                  .precision = 3,
                  .decimals = 0,
                  .expected = "1?23E4"},
        FixedCase{.name = "CarryMakesTooLong",
                  .value = 999.7,
                  .precision = 3,
                  .decimals = 1,
                  .expected = "1E3"},
        FixedCase{.name = "RatioFourTwo",
                  .value = 1.0 / 3.0,
                  .precision = 4,
                  .decimals = 2,
                  .expected = "0?33"},
        FixedCase{
            .name = "Huge", .value = 1e300, .precision = 15, .decimals = 1, .expected = "1E300"},
        FixedCase{
            .name = "NaN", .value = std::nan(""), .precision = 3, .decimals = 1, .expected = "NAN"},
        FixedCase{.name = "Infinity",
                  .value = -std::numeric_limits<double>::infinity(),
                  .precision = 3,
                  .decimals = 1,
                  .expected = "-INF"}),
    [](const auto& info) { return std::string(info.param.name); });

struct GeneralCase {
    const char* name;
    double value;
    int digits;
    const char* expected;
};

void PrintTo(const GeneralCase& c, std::ostream* os) {
    *os << c.name;
}

class GeneralTest : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralTest, Formats) {
    const GeneralCase& c = GetParam();
    EXPECT_EQ(FormatGeneral(c.value, ',', c.digits), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneralTest,
    ::testing::Values(
        GeneralCase{.name = "Integer", .value = 100, .digits = 15, .expected = "100"},
        GeneralCase{.name = "Fraction", .value = 12.5, .digits = 15, .expected = "12,5"},
        GeneralCase{.name = "SingleWidened",
                    .value = double(1.1f),
                    .digits = 15,
                    .expected = "1,10000002384186"},
        GeneralCase{.name = "DoubleShortest", .value = 0.1, .digits = 15, .expected = "0,1"},
        GeneralCase{.name = "Zero", .value = 0, .digits = 15, .expected = "0"},
        GeneralCase{
            .name = "Negative", .value = -0.0000096308, .digits = 15, .expected = "-9,6308E-6"},
        GeneralCase{.name = "SmallestFixed", .value = 0.00001, .digits = 15, .expected = "0,00001"},
        GeneralCase{.name = "BelowFixed", .value = 0.0000099, .digits = 15, .expected = "9,9E-6"},
        GeneralCase{.name = "FifteenIntegerDigits",
                    .value = 123456789012345.0,
                    .digits = 15,
                    .expected = "123456789012345"},
        GeneralCase{.name = "SixteenIntegerDigits",
                    .value = 1234567890123456.0,
                    .digits = 15,
                    .expected = "1,23456789012346E15"},
        GeneralCase{.name = "StatedDigits", .value = 3.14159, .digits = 3, .expected = "3,14"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScientificTest, MemoForm) {
    EXPECT_EQ(FormatScientific(0.26128, '.'), "2.6128E-1");
    EXPECT_EQ(FormatScientific(0.039008, ','), "3,9008E-2");
    EXPECT_EQ(FormatScientific(1, '.'), "1.0000E+0");
    EXPECT_EQ(FormatScientific(-1234.5678, '.'), "-1.2346E+3");
    EXPECT_EQ(FormatScientific(0, '.'), "0.0000E+0");
}

TEST(RoundTest, HalvesToEven) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(-3.5), -4);
    EXPECT_EQ(Round(165.5), 166);
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Round(std::nan("")), 0);
    EXPECT_EQ(Round(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Round(-std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int64_t>::min());
}

TEST(ParseTest, NumbersWithSeparator) {
    double v = -7;
    EXPECT_TRUE(TryParseNumber("12,5", ',', v));
    EXPECT_EQ(v, 12.5);
    EXPECT_TRUE(TryParseNumber("  -3?25e2 ", '?', v));
    EXPECT_EQ(v, -325);
    EXPECT_TRUE(TryParseNumber(",5", ',', v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(TryParseNumber("+7", '.', v));
    EXPECT_EQ(v, 7);
    v = -7;
    for (const char* bad : {"", " ", "12.5", "abc", "1,2,3", "1e", "--1", "1 2", ",", "e5"}) {
        EXPECT_FALSE(TryParseNumber(bad, ',', v)) << bad;
        EXPECT_EQ(v, -7) << bad;
    }
    EXPECT_EQ(ParseNumberOr("x", '.', -1), -1);
}

TEST(ParseTest, Integers) {
    std::int64_t v = 99;
    EXPECT_TRUE(TryParseInteger("  42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryParseInteger("-17", v));
    EXPECT_EQ(v, -17);
    v = 99;
    for (const char* bad : {"", "12.5", "12 ", "1e3", "x", "+-1", "99999999999999999999"}) {
        EXPECT_FALSE(TryParseInteger(bad, v)) << bad;
        EXPECT_EQ(v, 99) << bad;
    }
}

} // namespace
