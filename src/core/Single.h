// Conversion of a double to a Single, the 4-byte float of the records.
#pragma once

#include <cfloat>
#include <cmath>

// A double as a Single for storing in the records. Finite values beyond the
// Single range become +-FLT_MAX (converting them directly would be undefined
// behaviour); infinities and NaN stay what they are; everything else is
// rounded to the nearest Single as a plain conversion does.
inline float ToSingle(double value) {
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
        return value > 0 ? FLT_MAX : -FLT_MAX;
    }
    return static_cast<float>(value);
}
