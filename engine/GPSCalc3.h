#pragma once
// WGS-84 geodetic <-> earth-centred, earth-fixed (ECEF) conversion, and the affine map between a local
// metric frame and ECEF fixed by one base point, the local point matching it, a turn and a scale.
// All values are doubles, angles in radians.
#include <array>

struct TXYZ_Dbl {
    double x = 0, y = 0, z = 0;
    friend bool operator==(const TXYZ_Dbl &, const TXYZ_Dbl &) = default;
};

namespace wgs84 {
inline constexpr double A = 6378137.0;
inline constexpr double B = 6356752.3142;
inline constexpr double F = 0.0033528106647474805;
} // namespace wgs84

void GeodeticToEcef(double &X, double &Y, double &Z, double Lat, double Lon, double H);
// Heikkinen's closed form. On the Earth's axis (X = Y = 0) the latitude is +-pi/2 (by the sign of Z),
// the longitude 0 and the height |Z| - b; the centre itself gives latitude 0 and height -a.
void EcefToGeodetic(double &Lat, double &Lon, double &H, double X, double Y, double Z);

// Four triples: the images of the unit vectors along x, y, z, then the translation.
using TAffine3x4 = std::array<double, 12>;
TXYZ_Dbl ApplyAffine3x4(const TAffine3x4 &Map, double x, double y, double z);
// The affine map taking P[i] onto Q[i] (i = 0..3). Throws EStreetError when the points are degenerate.
TAffine3x4 SolveAffine3x4(const TXYZ_Dbl P[4], const TXYZ_Dbl Q[4]);
// Base point E0 and the points one metre east, north (geocentric) and up (along the radius) of it.
void LocalAxesAt(const TXYZ_Dbl &Base, TXYZ_Dbl E[4]);

class TLocalConverter {
public:
    // Parameters in order: base X, Y, Z (ECEF metres); local x0, y0, z0 of the base; turn (radians);
    // scale (local units per metre).
    using TParams = std::array<double, 8>;

    // Throws EStreetError "TLocalConverter.Create: ..." for a base on the Earth's axis, a scale of 0 or a
    // parameter that is not finite.
    explicit TLocalConverter(const TParams &Params);
    static void CheckParams(const TParams &Params);

    const TParams &Params() const { return fParams; }
    const TAffine3x4 &Forward() const { return fForward; } // local -> ECEF
    const TAffine3x4 &Inverse() const { return fInverse; } // ECEF -> local

    // The ECEF point above the local (x, y) whose WGS-84 height is H (Newton steps on the local z).
    TXYZ_Dbl LocalToEcef(double x, double y, double H) const;
    TXYZ_Dbl LocalToEcefRec(const TXYZ_Dbl &P) const { return LocalToEcef(P.x, P.y, P.z); }
    TXYZ_Dbl EcefToLocal(const TXYZ_Dbl &P) const { return ApplyAffine3x4(fInverse, P.x, P.y, P.z); }

private:
    TParams fParams{};
    TAffine3x4 fForward{};
    TAffine3x4 fInverse{};
};
