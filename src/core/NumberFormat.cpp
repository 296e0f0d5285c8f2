#include "core/NumberFormat.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// A rounded decimal: value = 0.digits * 10^pointPos, digits without leading zeros.
struct Decimal {
    bool negative = false;
    std::string digits; // empty for zero
    int pointPos = 0;   // number of digits before the decimal point
};

Decimal ParsePrintf(const char* text) {
    Decimal d;
    const char* p = text;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    int intDigits = 0;
    bool seenPoint = false;
    int exponent = 0;
    for (; *p; ++p) {
        if (*p >= '0' && *p <= '9') {
            d.digits.push_back(*p);
            if (!seenPoint) {
                ++intDigits;
            }
        } else if (*p == '.') {
            seenPoint = true;
        } else if (*p == 'e' || *p == 'E') {
            exponent = std::atoi(p + 1);
            break;
        }
    }
    d.pointPos = intDigits + exponent;
    // Strip leading zeros (each moves the point one place left).
    std::size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0') {
        ++lead;
    }
    d.digits.erase(0, lead);
    d.pointPos -= static_cast<int>(lead);
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    if (d.digits.empty()) {
        d.pointPos = 0;
    }
    return d;
}

Decimal RoundSignificant(double x, int p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, x);
    return ParsePrintf(buf);
}

Decimal RoundDecimals(double x, int d) {
    std::vector<char> buf(400 + static_cast<std::size_t>(d));
    std::snprintf(buf.data(), buf.size(), "%.*f", d, x);
    return ParsePrintf(buf.data());
}

// Exponent of the leading significant digit of x (x finite, not zero).
int DecimalExponent(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.25e", x);
    const char* e = std::strchr(buf, 'e');
    return e ? std::atoi(e + 1) : 0;
}

char DigitAt(const Decimal& d, int index) {
    return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

// "d.ddd" + "E" + exponent; `plusSign` writes "E+n" for exponents >= 0.
std::string ExponentText(const Decimal& d, char sep, int minFraction, bool plusSign) {
    std::string out;
    if (d.negative && !d.digits.empty()) {
        out.push_back('-');
    }
    out.push_back(DigitAt(d, 0));
    const int fraction = std::max(minFraction, static_cast<int>(d.digits.size()) - 1);
    if (fraction > 0) {
        out.push_back(sep);
        for (int i = 1; i <= fraction; ++i) {
            out.push_back(DigitAt(d, i));
        }
    }
    const int exponent = d.digits.empty() ? 0 : d.pointPos - 1;
    out.push_back('E');
    if (exponent < 0) {
        out.push_back('-');
    } else if (plusSign) {
        out.push_back('+');
    }
    out += std::to_string(std::abs(exponent));
    return out;
}

std::string FixedText(const Decimal& d, char sep, int decimals) {
    std::string out;
    if (d.negative && !d.digits.empty()) {
        out.push_back('-');
    }
    if (d.pointPos <= 0) {
        out.push_back('0');
    } else {
        for (int i = 0; i < d.pointPos; ++i) {
            out.push_back(DigitAt(d, i));
        }
    }
    if (decimals > 0) {
        out.push_back(sep);
        for (int k = 0; k < decimals; ++k) {
            out.push_back(DigitAt(d, d.pointPos + k));
        }
    }
    return out;
}

const char* NonFiniteText(double x) {
    if (std::isnan(x)) {
        return "NAN";
    }
    return x < 0 ? "-INF" : "INF";
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

} // namespace

std::int64_t Round(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    const double r = std::nearbyint(x); // default rounding mode: halves to even
    if (r >= 9.2233720368547758e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (r <= -9.2233720368547758e18) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(r);
}

std::string FormatFixed(double value, int precision, int decimals, char decimalSeparator) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    precision = std::clamp(precision, 1, 18);
    decimals = std::clamp(decimals, 0, 18);
    Decimal d;
    if (value != 0) {
        const int e = DecimalExponent(value);
        d = (e - precision + 1 > -decimals) ? RoundSignificant(value, precision)
                                            : RoundDecimals(value, decimals);
    }
    if (d.pointPos > precision) {
        return ExponentText(d, decimalSeparator, 0, false);
    }
    return FixedText(d, decimalSeparator, decimals);
}

std::string FormatGeneral(double value, char decimalSeparator, int significantDigits) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    significantDigits = std::clamp(significantDigits, 1, 18);
    if (value == 0) {
        return "0";
    }
    const Decimal d = RoundSignificant(value, significantDigits);
    const int exponent = d.pointPos - 1;
    if (d.digits.empty()) {
        return "0";
    }
    if (exponent < -5 || d.pointPos > significantDigits) {
        return ExponentText(d, decimalSeparator, 0, false);
    }
    const int fraction = std::max(0, static_cast<int>(d.digits.size()) - d.pointPos);
    return FixedText(d, decimalSeparator, fraction);
}

std::string FormatScientific(double value, char decimalSeparator) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    const Decimal d = RoundSignificant(value, 5);
    return ExponentText(d, decimalSeparator, 4, true);
}

bool TryParseNumber(std::string_view text, char decimalSeparator, double& value) {
    const std::string_view s = Trim(text);
    std::string normal;
    normal.reserve(s.size());
    std::size_t i = 0;
    auto digitsFrom = [&](std::size_t& k) {
        const std::size_t start = k;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9') {
            normal.push_back(s[k++]);
        }
        return k - start;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') {
            normal.push_back('-');
        }
        ++i;
    }
    std::size_t mantissaDigits = digitsFrom(i);
    if (i < s.size() && s[i] == decimalSeparator) {
        normal.push_back('.');
        ++i;
        mantissaDigits += digitsFrom(i);
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        normal.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            normal.push_back(s[i++]);
        }
        if (digitsFrom(i) == 0) {
            return false;
        }
    }
    if (i != s.size()) {
        return false;
    }
    double parsed = 0;
    const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), parsed);
    if (ec != std::errc() || end != normal.data() + normal.size()) {
        return false;
    }
    value = parsed;
    return true;
}

double ParseNumberOr(std::string_view text, char decimalSeparator, double fallback) {
    double v = fallback;
    return TryParseNumber(text, decimalSeparator, v) ? v : fallback;
}

bool TryParseInteger(std::string_view text, std::int64_t& value) {
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') {
            return false;
        }
    }
    if (s.empty()) {
        return false;
    }
    std::int64_t parsed = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return false;
    }
    value = parsed;
    return true;
}

char LocaleDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80) {
        return static_cast<char>(point.at(0).unicode());
    }
    return '.';
}
