#include "resistance_thermometers.h"

#include <cmath>

namespace {

// Inverse power series sum D_i * x^i, i = 1..n: powers in double rounded to float,
// running sum held in single precision.
float powerSeries(const float *d, int n, double x)
{
    float sum = 0.0f;
    for (int i = 1; i <= n; ++i) {
        const float power = static_cast<float>(std::pow(x, i));
        sum = static_cast<float>(sum + static_cast<double>(d[i - 1]) * power);
    }
    return sum;
}

// Closed-form inverse of W = 1 + A t + B t^2 for the two platinum families.
float quadraticInverse(double w, float minusFourB, float aSquared, float a, float twoB)
{
    const double q = (1.0 - w) * minusFourB + aSquared;
    return static_cast<float>((std::sqrt(q) - a) / twoB);
}

} // namespace

float copperTemperature(float r0, float r)
{
    static const float d[] = {233.87f, 7.937f, -2.0062f, -0.3953f};
    const double w = static_cast<double>(r) / r0;
    if (r0 > r)
        return powerSeries(d, 4, w - 1.0);
    return static_cast<float>((w - 1.0) / 0.00428f);
}

float platinum391Temperature(float r0, float r)
{
    static const float d[] = {251.903f, 8.80035f, -2.91506f, 1.67611f};
    const double w = static_cast<double>(r) / r0;
    if (r0 > r)
        return powerSeries(d, 4, w - 1.0);
    return quadraticInverse(w, 2.3364e-6f, 1.5752963e-5f, 0.003969f, -1.1682e-6f);
}

float platinum385Temperature(float r0, float r)
{
    static const float d[] = {255.819f, 9.1455f, -2.92363f, 1.7909f};
    const double w = static_cast<double>(r) / r0;
    if (r0 > r)
        return powerSeries(d, 4, w - 1.0);
    return quadraticInverse(w, 2.31e-6f, 1.5274807e-5f, 0.0039083f, -1.155e-6f);
}

float nickelTemperature(float r0, float r)
{
    static const float d[] = {144.096f, -25.502f, 4.4876f};
    // The nickel characteristic changes form at 100 degC (W = 1.6172), not at 0 degC.
    const float branchRatio = 1.6172f;
    const double w = static_cast<double>(r) / r0;
    if (w < branchRatio) {
        const double q = 3.0209312e-5f - (1.0 - w) * 2.70224e-5f;
        return static_cast<float>((std::sqrt(q) - 0.0054963f) / 1.35112e-5f);
    }
    return 100.0f + powerSeries(d, 3, w - branchRatio);
}
