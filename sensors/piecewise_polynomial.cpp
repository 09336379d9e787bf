#include "piecewise_polynomial.h"

#include <cmath>
#include <limits>

float evaluateSegment(const PolynomialSegment &segment, float x)
{
    const double xd = x;
    float sum = 0.0f;
    for (std::uint32_t i = 0; i < segment.coefficientCount; ++i) {
        const float power = static_cast<float>(std::pow(xd, static_cast<double>(i)));
        sum = static_cast<float>(sum + static_cast<double>(segment.coefficients[i]) * power);
    }
    if (segment.extraTerm)
        return segment.extraTerm(x) + sum;
    return sum;
}

float evaluatePiecewise(const PiecewisePolynomial *table, float x)
{
    if (!table)
        return std::numeric_limits<float>::quiet_NaN();
    const PolynomialSegment *segments = table->segments;
    if (x > table->upperBound)
        return evaluateSegment(segments[table->segmentCount - 1], x);
    if (x < segments[0].lowerBound)
        return evaluateSegment(segments[0], x);
    // A NaN argument fails every comparison and falls through to the NaN result.
    for (std::int32_t k = table->segmentCount - 1; k >= 0; --k) {
        if (segments[k].lowerBound <= x)
            return evaluateSegment(segments[k], x);
    }
    return std::numeric_limits<float>::quiet_NaN();
}
