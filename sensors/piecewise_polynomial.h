#pragma once

#include <cstdint>

// One polynomial c0 + c1 x + ... valid from lowerBound up to the next segment's bound.
struct PolynomialSegment {
    const float *coefficients;
    std::uint32_t coefficientCount;
    float lowerBound;
    float (*extraTerm)(float); // non-polynomial addend, or null
};

// A characteristic made of segments sorted by lowerBound.
struct PiecewisePolynomial {
    const PolynomialSegment *segments;
    std::int32_t segmentCount;
    float upperBound;
};

// Chooses the segment for x (no clamping: beyond either end the outermost segment is
// extrapolated) and evaluates it. NaN for a null table or a NaN argument.
float evaluatePiecewise(const PiecewisePolynomial *table, float x);

// Plain power sum with one pow() per term; each product is formed in double and the
// running sum is rounded to float after every addition.
float evaluateSegment(const PolynomialSegment &segment, float x);
