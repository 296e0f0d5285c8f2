// A field of a packed record, by value: comparing macros take their
// arguments by reference, and a reference must not bind to a field that
// the packing leaves unaligned.
#pragma once

template <typename T> T FieldValue(T v) {
    return v;
}
