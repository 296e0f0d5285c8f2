#include "core/sample_types.h"

#include "core/Ansi.h"

#include <algorithm>
#include <cstring>

QString CommentToText(const TSampleFile& sample) {
    const std::size_t n = sample.Comment[0];
    return AnsiToText(std::string_view(reinterpret_cast<const char*>(sample.Comment + 1), n));
}

void TextToComment(TSampleFile& sample, const QString& text) {
    std::string bytes = TextToAnsi(text);
    if (bytes.size() > MaxCommentLength) {
        bytes.resize(MaxCommentLength);
    }
    sample.Comment[0] = static_cast<std::uint8_t>(bytes.size());
    std::memcpy(sample.Comment + 1, bytes.data(), bytes.size());
}

QString PeakNameToText(const TPeakEntry& peak) {
    const char* name = peak.Name;
    const std::size_t n = std::find(name, name + sizeof(peak.Name), '\0') - name;
    return AnsiToText(std::string_view(name, n));
}

void SetPeakName(TPeakEntry& peak, const QString& name) {
    std::string bytes = TextToAnsi(name);
    std::memset(peak.Name, 0, sizeof(peak.Name));
    std::memcpy(peak.Name, bytes.data(), std::min(bytes.size(), sizeof(peak.Name)));
}
