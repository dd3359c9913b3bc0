#include "engine/GPSCalc3.h"

#include "engine/StreetError.h"

#include <cmath>
#include <numbers>
#include <string>
#include <utility>

namespace {

constexpr double E2 = 2 * wgs84::F - wgs84::F * wgs84::F;
constexpr double Ep2 = (2 - wgs84::F) * wgs84::F / ((1 - wgs84::F) * (1 - wgs84::F));

double HeightOf(const TXYZ_Dbl &p) {
    double lat, lon, h;
    EcefToGeodetic(lat, lon, h, p.x, p.y, p.z);
    return h;
}

} // namespace

void GeodeticToEcef(double &X, double &Y, double &Z, double Lat, double Lon, double H) {
    const double s = std::sin(Lat);
    const double n = wgs84::A / std::sqrt(1 - E2 * s * s);
    X = (n + H) * std::cos(Lat) * std::cos(Lon);
    Y = (n + H) * std::cos(Lat) * std::sin(Lon);
    Z = ((1 - E2) * n + H) * s;
}

void EcefToGeodetic(double &Lat, double &Lon, double &H, double X, double Y, double Z) {
    using namespace wgs84;
    const double r2 = X * X + Y * Y;
    if (r2 == 0) {
        // On the axis the closed form divides by r; the answer is plain.
        Lon = 0;
        if (Z == 0) {
            Lat = 0;
            H = -A;
        } else {
            Lat = Z > 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
            H = std::fabs(Z) - B;
        }
        return;
    }
    const double r = std::sqrt(r2);
    const double f = 54 * B * B * Z * Z;
    const double g = r2 + (1 - E2) * Z * Z - E2 * (A * A - B * B);
    const double c = E2 * E2 * f * r2 / (g * g * g);
    const double s = std::exp(std::log(1 + c + std::sqrt(c * c + 2 * c)) / 3);
    const double k = s + 1 / s + 1;
    const double p = f / (3 * k * k * g * g);
    const double q = std::sqrt(1 + 2 * E2 * E2 * p);
    const double r0 = -p * E2 * r / (1 + q) +
                      std::sqrt(A * A / 2 * (1 + 1 / q) - p * (1 - E2) * Z * Z / (q * (1 + q)) - p * r2 / 2);
    const double d = r - E2 * r0;
    const double u = std::sqrt(d * d + Z * Z);
    const double v = std::sqrt(d * d + (1 - E2) * Z * Z);
    const double z0 = B * B * Z / (A * v);
    H = u * (1 - B * B / (A * v));
    Lat = std::atan((Z + Ep2 * z0) / r);
    Lon = std::atan2(Y, X);
}

TXYZ_Dbl ApplyAffine3x4(const TAffine3x4 &Map, double x, double y, double z) {
    return {x * Map[0] + y * Map[3] + z * Map[6] + Map[9], x * Map[1] + y * Map[4] + z * Map[7] + Map[10],
            x * Map[2] + y * Map[5] + z * Map[8] + Map[11]};
}

TAffine3x4 SolveAffine3x4(const TXYZ_Dbl P[4], const TXYZ_Dbl Q[4]) {
    // Unknowns m[c][j] at column 4c + j; equations per point i and component c:
    // Q[i].c = m[c][0] P.x + m[c][1] P.y + m[c][2] P.z + m[c][3].
    double a[12][13] = {};
    for (int i = 0; i < 4; ++i) {
        const double q[3] = {Q[i].x, Q[i].y, Q[i].z};
        for (int c = 0; c < 3; ++c) {
            double *row = a[3 * i + c];
            row[4 * c + 0] = P[i].x;
            row[4 * c + 1] = P[i].y;
            row[4 * c + 2] = P[i].z;
            row[4 * c + 3] = 1;
            row[12] = q[c];
        }
    }
    for (int k = 0; k < 12; ++k) {
        int pivot = k;
        for (int r = k + 1; r < 12; ++r)
            if (std::fabs(a[r][k]) > std::fabs(a[pivot][k]))
                pivot = r;
        if (!(std::fabs(a[pivot][k]) > 0))
            RaiseStreetError("SolveAffine3x4", "the points do not span space");
        if (pivot != k)
            std::swap(a[pivot], a[k]);
        for (int r = k + 1; r < 12; ++r) {
            const double m = a[r][k] / a[k][k];
            if (m == 0)
                continue;
            a[r][k] = 0;
            for (int c = k + 1; c < 13; ++c)
                a[r][c] -= m * a[k][c];
        }
    }
    double x[12];
    for (int k = 11; k >= 0; --k) {
        double s = a[k][12];
        for (int c = k + 1; c < 12; ++c)
            s -= a[k][c] * x[c];
        x[k] = s / a[k][k];
    }
    TAffine3x4 map{};
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 4; ++j)
            map[3 * j + c] = x[4 * c + j];
    return map;
}

void LocalAxesAt(const TXYZ_Dbl &Base, TXYZ_Dbl E[4]) {
    const double x = Base.x, y = Base.y, z = Base.z;
    const double rho = std::sqrt(x * x + y * y);
    const double r = std::sqrt(x * x + y * y + z * z);
    E[0] = Base;
    E[1] = {x - y / rho, y + x / rho, z};
    E[2] = {x - x * z / (r * rho), y - y * z / (r * rho), z + rho / r};
    E[3] = {x + x / r, y + y / r, z + z / r};
}

void TLocalConverter::CheckParams(const TParams &Params) {
    for (double v : Params)
        if (!std::isfinite(v))
            RaiseStreetError("TLocalConverter.Create", "a parameter is not a finite number");
    if (Params[0] == 0 && Params[1] == 0)
        RaiseStreetError("TLocalConverter.Create", "the base lies on the Earth's axis");
    if (Params[7] == 0)
        RaiseStreetError("TLocalConverter.Create", "the scale is 0");
}

TLocalConverter::TLocalConverter(const TParams &Params) : fParams(Params) {
    CheckParams(Params);
    const double theta = Params[6], s = Params[7];
    const TXYZ_Dbl l0{Params[3], Params[4], Params[5]};
    const TXYZ_Dbl local[4] = {l0,
                               {l0.x + s * std::cos(theta), l0.y + s * std::sin(theta), l0.z},
                               {l0.x - s * std::sin(theta), l0.y + s * std::cos(theta), l0.z},
                               {l0.x, l0.y, l0.z + s}};
    TXYZ_Dbl ecef[4];
    LocalAxesAt({Params[0], Params[1], Params[2]}, ecef);
    fForward = SolveAffine3x4(local, ecef);
    fInverse = SolveAffine3x4(ecef, local);
}

TXYZ_Dbl TLocalConverter::LocalToEcef(double x, double y, double H) const {
    double z = H;
    TXYZ_Dbl p{};
    for (int step = 0; step < 16; ++step) {
        const double hMinus = HeightOf(ApplyAffine3x4(fForward, x, y, z - 100));
        const double hPlus = HeightOf(ApplyAffine3x4(fForward, x, y, z + 100));
        p = ApplyAffine3x4(fForward, x, y, z);
        const double h = HeightOf(p);
        if (std::fabs(h - H) <= 0.001)
            break;
        const double slope = hPlus - hMinus;
        if (!(slope != 0))
            break;
        z -= (h - H) * 200 / slope;
    }
    return p;
}
