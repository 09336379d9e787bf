// Tungsten-rhenium types and the types L and M, each coefficient stored as
// the nearest float (E in mV, t in degC).
#include "thermocouple_tables.h"

namespace {

constexpr float typeA1TemperatureToEmfCoefficients[] = {
    0.00071564736f, 0.011951905f, 1.6672626e-5f, -2.8287808e-8f, 2.839784e-11f,
    -1.8505007e-14f, 7.363212e-18f, -1.6148878e-21f, 1.4901679e-25f,
};
constexpr float typeA1EmfToTemperatureCoefficients[] = {
    0.9643027f, 79.49509f, -4.999031f, 0.6341776f, -0.04744097f,
    0.0021811337f, -5.832423e-5f, 8.2433723e-7f, -4.592848e-9f,
};
constexpr float typeA2TemperatureToEmfCoefficients[] = {
    -0.00010850558f, 0.011642292f, 2.128029e-5f, -4.4258403e-8f, 5.565206e-11f,
    -4.380131e-14f, 2.022839e-17f, -4.9354042e-21f, 4.8119845e-25f,
};
constexpr float typeA2EmfToTemperatureCoefficients[] = {
    1.1196429f, 80.5694f, -6.2279124f, 0.9337015f, -0.08260805f,
    0.004411098f, -0.0001361055f, 2.2183851e-6f, -1.4527698e-8f,
};
constexpr float typeA3TemperatureToEmfCoefficients[] = {
    -0.00010649133f, 0.011686475f, 1.8022158e-5f, -3.3436997e-8f, 3.708169e-11f,
    -2.5748445e-14f, 1.0301893e-17f, -2.0735944e-21f, 1.467845e-25f,
};
constexpr float typeA3EmfToTemperatureCoefficients[] = {
    0.8769216f, 81.48323f, -5.9344172f, 0.869934f, -0.07679769f,
    0.0041814386f, -0.0001343967f, 2.342409e-6f, -1.6988727e-8f,
};

constexpr float typeLTemperatureToEmfBelowZero[] = {
    -5.8952242e-5f, 0.0633915f, 6.759296e-5f, 2.0672566e-7f, 5.5720886e-9f,
    5.713386e-11f, 3.2995592e-13f, 9.923242e-16f, 1.2079584e-18f,
};
constexpr float typeLTemperatureToEmfAboveZero[] = {
    -1.8656952e-5f, 0.06331097f, 6.0153092e-5f, -8.0073136e-8f, 9.694607e-11f,
    -3.604729e-14f, -2.4694774e-16f, 4.288034e-19f, -2.0725297e-22f,
};
constexpr float typeLEmfToTemperatureBelowZero[] = {
    0.00011573067f, 15.884573f, 0.040458553f, 0.3170064f, 0.1666128f,
    0.051946957f, 0.009528888f, 0.0010301283f, 6.065443e-5f, 1.5131878e-6f,
};
constexpr float typeLEmfToTemperatureAboveZero[] = {
    0.0072069424f, 15.775525f, -0.2261183f, 0.009428675f, -0.00035394655f,
    1.0050886e-5f, -1.9323679e-7f, 2.381689e-9f, -1.7130655e-11f, 5.485733e-14f,
};

constexpr float typeMTemperatureToEmfCoefficients[] = {
    2.445556e-6f, 0.042638917f, 5.0348393e-5f, -4.4974485e-8f,
};
constexpr float typeMEmfToTemperatureCoefficients[] = {
    0.004647102f, 23.448112f, -0.65809965f, 0.0519846f, -0.001711451f, 5.13736e-5f,
    -0.000346619f, 2.80016e-5f, 1.36845e-5f, -3.43913e-7f, -2.57241e-7f,
};

constexpr PolynomialSegment typeA1TemperatureToEmfSegments[] = {{typeA1TemperatureToEmfCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeA1EmfToTemperatureSegments[] = {{typeA1EmfToTemperatureCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeA2TemperatureToEmfSegments[] = {{typeA2TemperatureToEmfCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeA2EmfToTemperatureSegments[] = {{typeA2EmfToTemperatureCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeA3TemperatureToEmfSegments[] = {{typeA3TemperatureToEmfCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeA3EmfToTemperatureSegments[] = {{typeA3EmfToTemperatureCoefficients, 9, 0.0f, nullptr}};
constexpr PolynomialSegment typeLTemperatureToEmfSegments[] = {
    {typeLTemperatureToEmfBelowZero, 9, -200.0f, nullptr},
    {typeLTemperatureToEmfAboveZero, 9, 0.0f, nullptr},
};
constexpr PolynomialSegment typeLEmfToTemperatureSegments[] = {
    {typeLEmfToTemperatureBelowZero, 10, -9.488f, nullptr},
    {typeLEmfToTemperatureAboveZero, 10, 0.0f, nullptr},
};
constexpr PolynomialSegment typeMTemperatureToEmfSegments[] = {{typeMTemperatureToEmfCoefficients, 4, -200.0f, nullptr}};
constexpr PolynomialSegment typeMEmfToTemperatureSegments[] = {{typeMEmfToTemperatureCoefficients, 11, -6.154f, nullptr}};

} // namespace

const PiecewisePolynomial typeA1TemperatureToEmf = {typeA1TemperatureToEmfSegments, 1, 2500.0f};
const PiecewisePolynomial typeA1EmfToTemperature = {typeA1EmfToTemperatureSegments, 1, 33.64f};
const PiecewisePolynomial typeA2TemperatureToEmf = {typeA2TemperatureToEmfSegments, 1, 1800.0f};
const PiecewisePolynomial typeA2EmfToTemperature = {typeA2EmfToTemperatureSegments, 1, 27.232f};
const PiecewisePolynomial typeA3TemperatureToEmf = {typeA3TemperatureToEmfSegments, 1, 1800.0f};
const PiecewisePolynomial typeA3EmfToTemperature = {typeA3EmfToTemperatureSegments, 1, 26.773f};
const PiecewisePolynomial typeLTemperatureToEmf = {typeLTemperatureToEmfSegments, 2, 800.0f};
const PiecewisePolynomial typeLEmfToTemperature = {typeLEmfToTemperatureSegments, 2, 66.466f};
const PiecewisePolynomial typeMTemperatureToEmf = {typeMTemperatureToEmfSegments, 1, 100.0f};
const PiecewisePolynomial typeMEmfToTemperature = {typeMEmfToTemperatureSegments, 1, 4.722f};
