#include "core/Ansi.h"

#include <array>

namespace {

// Unicode code points of bytes 0x80..0x9F; the rest of the page equals Latin-1.
constexpr std::array<char16_t, 32> HighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char EncodeOne(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<char>(u);
    }
    for (std::size_t i = 0; i < HighTable.size(); ++i) {
        if (HighTable[i] == u) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

QString AnsiToText(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? HighTable[b - 0x80] : char16_t(b)));
    }
    return out;
}

std::string TextToAnsi(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        out.push_back(EncodeOne(c.unicode()));
    }
    return out;
}
