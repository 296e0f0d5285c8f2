// Byte order of the serial line: every multi-byte number travels big-endian.
//
// The swaps work on raw bytes, so they can be applied to fields of packed
// records (copied into byte buffers) without binding misaligned references.
// The same reversal converts in both directions.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

// Reverses the four bytes at `p` (a 32-bit integer or a Single).
inline void SwapBytes32(std::uint8_t* p) {
    std::uint8_t t = p[0];
    p[0] = p[3];
    p[3] = t;
    t = p[1];
    p[1] = p[2];
    p[2] = t;
}

// Exchanges the two bytes at `p` (a 16-bit integer).
inline void SwapBytes16(std::uint8_t* p) {
    const std::uint8_t t = p[0];
    p[0] = p[1];
    p[1] = t;
}

// One multi-byte field of a record: its byte offset and its width (2 or 4).
struct TWireField {
    int Offset;
    int Width;
};

// Swaps each listed field of the record at `record`.
inline void SwapFields(std::uint8_t* record, std::initializer_list<TWireField> fields) {
    for (const TWireField& f : fields) {
        if (f.Width == 4) {
            SwapBytes32(record + f.Offset);
        } else if (f.Width == 2) {
            SwapBytes16(record + f.Offset);
        }
    }
}

// Big-endian values read from and written to byte buffers.
inline std::uint16_t ReadBE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t ReadBE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

inline void WriteBE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

inline void WriteBE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
