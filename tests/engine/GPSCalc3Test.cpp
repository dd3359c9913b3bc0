#include "engine/GPSCalc3.h"

#include "engine/StreetError.h"
#include "support/ProjCct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using sptest::RunCct;

constexpr double Deg = std::numbers::pi / 180;

struct TGeo {
    double LatDeg, LonDeg, H;
};

// The points of both oracle tests: equator, both poles, the prime, 90E and 180 meridians, heights from
// -100 m to 400 km.
std::vector<TGeo> GeoTable() {
    std::vector<TGeo> t;
    for (double h : {-100.0, 0.0, 1234.5, 400000.0}) {
        for (double lat : {0.0, 30.0, -45.0, 55.75, 89.999})
            for (double lon : {0.0, 90.0, 180.0, -90.0, 37.6})
                t.push_back({lat, lon, h});
        t.push_back({90.0, 0.0, h});
        t.push_back({-90.0, 0.0, h});
    }
    return t;
}

TXYZ_Dbl ToEcef(const TGeo &g) {
    TXYZ_Dbl p;
    GeodeticToEcef(p.x, p.y, p.z, g.LatDeg * Deg, g.LonDeg * Deg, g.H);
    return p;
}

double Dist(const TXYZ_Dbl &a, const TXYZ_Dbl &b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

TEST(GeodeticToEcef, GivesTheEquatorAndPoleRadii) {
    TXYZ_Dbl p;
    GeodeticToEcef(p.x, p.y, p.z, 0, 0, 0);
    EXPECT_EQ(p, (TXYZ_Dbl{6378137, 0, 0}));
    GeodeticToEcef(p.x, p.y, p.z, std::numbers::pi / 2, 0, 0);
    EXPECT_NEAR(p.x, 0, 1e-9);
    EXPECT_EQ(p.y, 0);
    // From the flattening, not from the stored semi-minor axis.
    EXPECT_NEAR(p.z, 6356752.314245, 1e-6);
}

TEST(EcefToGeodetic, RoundTripsEverywhereIncludingTheAxesAndMeridians) {
    for (const TGeo &g : GeoTable()) {
        SCOPED_TRACE(std::to_string(g.LatDeg) + " " + std::to_string(g.LonDeg) + " " + std::to_string(g.H));
        const TXYZ_Dbl p = ToEcef(g);
        double lat, lon, h;
        EcefToGeodetic(lat, lon, h, p.x, p.y, p.z);
        EXPECT_NEAR(lat, g.LatDeg * Deg, 1e-4 / 6378137);
        if (std::fabs(g.LatDeg) != 90) {
            EXPECT_NEAR(std::remainder(lon - g.LonDeg * Deg, 2 * std::numbers::pi), 0, 1e-9);
        }
        EXPECT_NEAR(h, g.H, 1e-4);
    }
    // Single zero coordinates are ordinary points: the equator on the 90 degree meridian, the prime meridian.
    double lat, lon, h;
    EcefToGeodetic(lat, lon, h, 0, 6378237, 0);
    EXPECT_EQ(lat, 0);
    EXPECT_EQ(lon, std::numbers::pi / 2);
    EXPECT_NEAR(h, 100, 1e-4); // the stored semi-minor axis differs from a(1 - f) by about 0.05 mm
    const TXYZ_Dbl prime = ToEcef({40, 0, 10});
    EcefToGeodetic(lat, lon, h, prime.x, 0, prime.z);
    EXPECT_NEAR(lat, 40 * Deg, 1e-12);
    EXPECT_EQ(lon, 0);
    EXPECT_NEAR(h, 10, 1e-4);
    // Exactly on the axis.
    EcefToGeodetic(lat, lon, h, 0, 0, -6356852.3142);
    EXPECT_EQ(lat, -std::numbers::pi / 2);
    EXPECT_EQ(lon, 0);
    EXPECT_NEAR(h, 100, 1e-9);
}

TEST(EcefToGeodetic, AgreesWithProjCartesianConversion) {
    const std::vector<TGeo> table = GeoTable();
    std::vector<TXYZ_Dbl> geo;
    for (const TGeo &g : table)
        geo.push_back({g.LonDeg, g.LatDeg, g.H});
    const std::vector<TXYZ_Dbl> projEcef = RunCct("+proj=cart +ellps=WGS84", geo);
    ASSERT_EQ(projEcef.size(), table.size());
    const std::vector<TXYZ_Dbl> projGeo = RunCct("-I +proj=cart +ellps=WGS84", projEcef);
    ASSERT_EQ(projGeo.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const TGeo &g = table[i];
        SCOPED_TRACE(std::to_string(g.LatDeg) + " " + std::to_string(g.LonDeg) + " " + std::to_string(g.H));
        EXPECT_LT(Dist(ToEcef(g), projEcef[i]), 1e-4);
        // Ours back from PROJ's point must give the table's point; PROJ's own inverse is a single
        // non-iterative step whose error reaches about 1.5 mm at 400 km, so it is held to 0.1 mm only up to
        // 10 km.
        double lat, lon, h;
        const TXYZ_Dbl &p = projEcef[i];
        EcefToGeodetic(lat, lon, h, p.x, p.y, p.z);
        const double radius = 6378137 + g.H;
        const double projTol = g.H <= 10000 ? 1e-4 : 2e-3;
        for (const auto &[refLat, refLon, refH, tol] :
             {std::tuple{g.LatDeg, g.LonDeg, g.H, 1e-4},
              std::tuple{projGeo[i].y, projGeo[i].x, projGeo[i].z, projTol}}) {
            EXPECT_LT(std::fabs(lat - refLat * Deg) * radius, tol);
            if (std::fabs(g.LatDeg) != 90) {
                EXPECT_LT(std::fabs(std::remainder(lon - refLon * Deg, 2 * std::numbers::pi)) * radius *
                              std::cos(lat),
                          tol);
            }
            EXPECT_LT(std::fabs(h - refH), tol);
        }
    }
}

TEST(TLocalConverter, MapsEastNorthUpMetresAndBack) {
    const TXYZ_Dbl base = ToEcef({55.75, 37.6, 150});
    const TLocalConverter conv({base.x, base.y, base.z, 0, 0, 0, 0, 1});
    const double rho = std::hypot(base.x, base.y), r = std::hypot(base.x, base.y, base.z);
    const TXYZ_Dbl east = ApplyAffine3x4(conv.Forward(), 1, 0, 0);
    EXPECT_NEAR(east.x - base.x, -base.y / rho, 1e-6);
    EXPECT_NEAR(east.y - base.y, base.x / rho, 1e-6);
    EXPECT_NEAR(east.z - base.z, 0, 1e-6);
    const TXYZ_Dbl up = ApplyAffine3x4(conv.Forward(), 0, 0, 1);
    EXPECT_LT(Dist(up, {base.x * (1 + 1 / r), base.y * (1 + 1 / r), base.z * (1 + 1 / r)}), 1e-6);
    for (const TXYZ_Dbl &l : {TXYZ_Dbl{1, 0, 0}, TXYZ_Dbl{0, 0, 1}, TXYZ_Dbl{-250.5, 1200, 33}}) {
        const TXYZ_Dbl e = ApplyAffine3x4(conv.Forward(), l.x, l.y, l.z);
        EXPECT_LT(Dist(conv.EcefToLocal(e), l), 1e-6);
    }
    // A quarter turn: local +y points east, local +x south. Scale 2: two local units per metre.
    const TLocalConverter turned({base.x, base.y, base.z, 10, 20, 0, std::numbers::pi / 2, 2});
    EXPECT_LT(Dist(ApplyAffine3x4(turned.Forward(), 10, 22, 0), east), 1e-6);
    const TXYZ_Dbl north = ApplyAffine3x4(conv.Forward(), 0, 1, 0);
    const TXYZ_Dbl south = ApplyAffine3x4(turned.Forward(), 12, 20, 0);
    EXPECT_LT(Dist({south.x - base.x, south.y - base.y, south.z - base.z},
                   {base.x - north.x, base.y - north.y, base.z - north.z}),
              1e-6);
}

TEST(TLocalConverter, RefusesSingularParameters) {
    struct TCase {
        TLocalConverter::TParams Params;
        std::string Error;
    };
    const double nan = std::nan("");
    for (const TCase &c :
         {TCase{{0, 0, 6356752, 0, 0, 0, 0, 1}, "TLocalConverter.Create: the base lies on the Earth's axis"},
          TCase{{6378137, 0, 0, 0, 0, 0, 0, 0}, "TLocalConverter.Create: the scale is 0"},
          TCase{{6378137, nan, 0, 0, 0, 0, 0, 1},
                "TLocalConverter.Create: a parameter is not a finite number"}}) {
        try {
            TLocalConverter conv(c.Params);
            ADD_FAILURE() << "accepted " << c.Error;
        } catch (const EStreetError &e) {
            EXPECT_EQ(std::string(e.what()), c.Error);
        }
    }
    // Bases on the equator and the 0 and 90 degree meridians are ordinary.
    EXPECT_NO_THROW(TLocalConverter({6378137, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_NO_THROW(TLocalConverter({0, 6378137, 0, 0, 0, 0, 0, 1}));
    const TXYZ_Dbl same[4] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}};
    EXPECT_THROW(SolveAffine3x4(same, same), EStreetError);
}

TEST(TLocalConverter, LocalToEcefFindsTheRequestedHeight) {
    const TXYZ_Dbl onSurface = ToEcef({30, 90, 0});
    const TLocalConverter a({onSurface.x, onSurface.y, onSurface.z, 0, 0, 0, 0, 1});
    EXPECT_EQ(a.LocalToEcef(0, 0, 0), ApplyAffine3x4(a.Forward(), 0, 0, 0));
    EXPECT_LT(Dist(a.LocalToEcefRec({0, 0, 0}), onSurface), 1e-6);

    const TXYZ_Dbl high = ToEcef({-45, 180, 500});
    const TLocalConverter b({high.x, high.y, high.z, 0, 0, 0, 0.3, 1});
    const TXYZ_Dbl p = b.LocalToEcef(0, 0, 0);
    EXPECT_NEAR(b.EcefToLocal(p).z, -500, 0.01);
    double lat, lon, h;
    EcefToGeodetic(lat, lon, h, p.x, p.y, p.z);
    EXPECT_NEAR(h, 0, 0.001);
    // Away from the base the local z of the surface drops with the Earth's curvature.
    const TXYZ_Dbl far = b.LocalToEcef(3000, -2000, 100);
    EcefToGeodetic(lat, lon, h, far.x, far.y, far.z);
    EXPECT_NEAR(h, 100, 0.001);
}

TEST(TLocalConverter, AxesAgreeWithProjTopocentricOnASphere) {
    for (const TGeo &g : {TGeo{55.75, 37.6, 150}, TGeo{0, 0, 0}, TGeo{-33, 180, 20}, TGeo{89.9, 90, 0}}) {
        SCOPED_TRACE(std::to_string(g.LatDeg) + " " + std::to_string(g.LonDeg));
        const TXYZ_Dbl base = ToEcef(g);
        const TLocalConverter conv({base.x, base.y, base.z, 0, 0, 0, 0, 1});
        std::vector<TXYZ_Dbl> ecef;
        for (const TXYZ_Dbl &d : {TXYZ_Dbl{0, 0, 0}, TXYZ_Dbl{1500, -700, 40}, TXYZ_Dbl{-3000, 2500, -900},
                                  TXYZ_Dbl{10, 20, 30000}})
            ecef.push_back({base.x + d.x, base.y + d.y, base.z + d.z});
        std::ostringstream args;
        args.precision(17);
        args << "+proj=topocentric +R=6378137 +X_0=" << base.x << " +Y_0=" << base.y << " +Z_0=" << base.z;
        const std::vector<TXYZ_Dbl> enu = RunCct(args.str(), ecef);
        ASSERT_EQ(enu.size(), ecef.size());
        for (std::size_t i = 0; i < ecef.size(); ++i) {
            EXPECT_LT(Dist(conv.EcefToLocal(ecef[i]), enu[i]), 1e-4) << i;
            const TXYZ_Dbl back = ApplyAffine3x4(conv.Forward(), enu[i].x, enu[i].y, enu[i].z);
            EXPECT_LT(Dist(back, ecef[i]), 1e-4) << i;
        }
    }
}

} // namespace
