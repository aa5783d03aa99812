// Geodesy timings, and the same locator pairs through Hamlib when it is built in.
// Every benchmark walks a fixed table of inputs so that no single value is
// measured in a warm branch-predictor loop.
#include "GreatCircle.h"
#include "NumberDisplay.h"
#include "NumberDisplayDetail.h"
#include "QTH.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#ifdef TESSARO_HAVE_HAMLIB
#include <hamlib/rotator.h>
#endif

namespace {

constexpr std::size_t kCount = 256; // a power of two: index with a mask

struct Dms {
    std::int32_t lonD, lonM, lonS, latD, latM, latS;
    bool east, north;
};

struct Inputs {
    std::vector<Dms> places;
    std::vector<std::string> locators; // upper case, 6 and 8 characters, as the page passes them
    std::vector<double> lon, lat;
    std::vector<double> numbers;

    Inputs() {
        std::mt19937 gen(1234);
        std::uniform_int_distribution<int> lonD(0, 179), latD(0, 89), ms(0, 59), flag(0, 1);
        std::uniform_real_distribution<double> km(0.5, 20000);
        for (std::size_t i = 0; i < kCount; ++i) {
            Dms d{lonD(gen), ms(gen), ms(gen),        latD(gen),
                  ms(gen),   ms(gen), flag(gen) == 1, flag(gen) == 1};
            places.push_back(d);
            std::string loc = LatLonToLocator(d.lonD, d.lonM, d.lonS, d.latD, d.latM, d.latS,
                                              d.east, d.north, i % 2 == 1);
            for (char& c : loc) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
            locators.push_back(loc);
            double x = 0, y = 0;
            LocatorToLatLon(loc, x, y, false);
            lon.push_back(x);
            lat.push_back(y);
            numbers.push_back(km(gen));
        }
    }
};

const Inputs& inputs() {
    static const Inputs in;
    return in;
}

void BM_LocatorToLatLon(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        double lon = 0, lat = 0;
        benchmark::DoNotOptimize(LocatorToLatLon(in.locators[i++ & (kCount - 1)], lon, lat, false));
        benchmark::DoNotOptimize(lon);
        benchmark::DoNotOptimize(lat);
    }
}
BENCHMARK(BM_LocatorToLatLon);

void BM_LatLonToLocator(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const Dms& d = in.places[i & (kCount - 1)];
        benchmark::DoNotOptimize(LatLonToLocator(d.lonD, d.lonM, d.lonS, d.latD, d.latM, d.latS,
                                                 d.east, d.north, (i & 1) == 1));
        ++i;
    }
}
BENCHMARK(BM_LatLonToLocator);

// Consecutive table entries as place 1 and place 2.
void BM_Places(benchmark::State& state, double (*op)(double, double, double, double)) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t a = i & (kCount - 1), b = (i + 1) & (kCount - 1);
        benchmark::DoNotOptimize(op(in.lon[a], in.lat[a], in.lon[b], in.lat[b]));
        ++i;
    }
}
BENCHMARK_CAPTURE(BM_Places, LatLonDistance, &LatLonDistance);
BENCHMARK_CAPTURE(BM_Places, LatLonBearing, &LatLonBearing);

// As the pages use it: distances with 1 or 3 decimals, bearings with 1.
void BM_FormatFixed(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const double v = in.numbers[i & (kCount - 1)];
        const int p = (i & 1) ? 5 : 7;
        const int d = (i & 1) ? (v > 100 ? 1 : 3) : 1;
        benchmark::DoNotOptimize(tessaro::formatFixed(v, p, d, '.'));
        ++i;
    }
}
BENCHMARK(BM_FormatFixed);

// The exact digit-string path alone, which the shortcut above avoids.
void BM_FormatFixedExactPath(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const double v = in.numbers[i & (kCount - 1)];
        benchmark::DoNotOptimize(tessaro::detail::formatFixedExact(v, 5, v > 100 ? 1 : 3, '.'));
        ++i;
    }
}
BENCHMARK(BM_FormatFixedExactPath);

// The QTH Locator page's work for one pair: distance, then bearing.
void BM_LocatorPair(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& a = in.locators[i & (kCount - 1)];
        const std::string& b = in.locators[(i + 1) & (kCount - 1)];
        benchmark::DoNotOptimize(LocatorDistance(a, b));
        benchmark::DoNotOptimize(LocatorBearing(a, b));
        ++i;
    }
}
BENCHMARK(BM_LocatorPair);

#ifdef TESSARO_HAVE_GEOGRAPHICLIB
// The same pair with the great-circle choice: both decoded, then the geodesic
// with its long path (GeographicLib, WGS84).
void BM_GreatCircleLocatorPair(benchmark::State& state) {
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& a = in.locators[i & (kCount - 1)];
        const std::string& b = in.locators[(i + 1) & (kCount - 1)];
        double lon1 = 0, lat1 = 0, lon2 = 0, lat2 = 0;
        LocatorToLatLon(a, lon1, lat1, false);
        LocatorToLatLon(b, lon2, lat2, false);
        benchmark::DoNotOptimize(tessaro::geodesicFigures(lon1, lat1, lon2, lat2));
        ++i;
    }
}
BENCHMARK(BM_GreatCircleLocatorPair);
#endif

#ifdef TESSARO_HAVE_HAMLIB
// The same pairs through Hamlib: decode both locators, then distance and azimuth.
void BM_HamlibLocatorPair(benchmark::State& state) {
    rig_set_debug(RIG_DEBUG_NONE);
    const auto& in = inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& a = in.locators[i & (kCount - 1)];
        const std::string& b = in.locators[(i + 1) & (kCount - 1)];
        double lon1 = 0, lat1 = 0, lon2 = 0, lat2 = 0, dist = 0, az = 0;
        benchmark::DoNotOptimize(locator2longlat(&lon1, &lat1, a.c_str()));
        benchmark::DoNotOptimize(locator2longlat(&lon2, &lat2, b.c_str()));
        benchmark::DoNotOptimize(qrb(lon1, lat1, lon2, lat2, &dist, &az));
        benchmark::DoNotOptimize(dist);
        benchmark::DoNotOptimize(az);
        ++i;
    }
}
BENCHMARK(BM_HamlibLocatorPair);
#endif

} // namespace

BENCHMARK_MAIN();
