#include "tools/make-survey/SurveyScene.h"

#include "engine/GPSCalc3.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace makesurvey {

namespace {

constexpr double Pi = std::numbers::pi;

double Wrap2Pi(double a) {
    a = std::fmod(a, 2 * Pi);
    return a < 0 ? a + 2 * Pi : a;
}

double Reduce(double a) { // into (-pi, pi]
    while (a > Pi)
        a -= 2 * Pi;
    while (a <= -Pi)
        a += 2 * Pi;
    return a;
}

double Dist(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// A smooth-looking periodic bump in -1..1 (a parabolic wave; cheaper than sine in the ray caster).
double Wave(double v) {
    const double f = v - std::floor(v); // 0..1
    const double u = 4 * f - 2;         // -2..2
    return u < 0 ? 1 - (u + 1) * (u + 1) : (u - 1) * (u - 1) - 1;
}

} // namespace

TRoadScene::TRoadScene() : StartHeading(-Pi / 6), ArcAngle(Pi / 3) {
    ZebraStation = Straight1 + ArcRadius * ArcAngle + 20;
    Platform = {1.2f, 0.0f, 1.6f, 0.0f, 0.0f, 0.0f};
    const float deg = static_cast<float>(Pi / 180);
    Cameras[0] = {{0.6f, 0.0f, 0.4f, 0.0f, 0.0f, 0.0f, 70 * deg}, 0, 0};
    Cameras[1] = {{0.0f, 0.5f, 0.4f, 60 * deg, 0.0f, 0.0f, 90 * deg}, 0, 33};
    Cameras[2] = {{0.0f, -0.5f, 0.4f, -60 * deg, 0.0f, 0.0f, 90 * deg}, 0, 66};
    Cameras[3] = {{-2.5f, 0.0f, 0.4f, 180 * deg, 0.0f, 0.0f, 70 * deg}, 12000, 15};
    double x, y, z;
    GeodeticToEcef(x, y, z, 55.75 * Pi / 180, 37.62 * Pi / 180, StartZ);
    ConvParams = {x, y, z, 0, 0, StartZ, 0, 1};
    Update();
}

void TRoadScene::Update() {
    const double h1 = StartHeading, h2 = StartHeading + ArcAngle;
    d1x_ = std::cos(h1);
    d1y_ = std::sin(h1);
    d2x_ = std::cos(h2);
    d2y_ = std::sin(h2);
    p1x_ = StartX + Straight1 * d1x_;
    p1y_ = StartY + Straight1 * d1y_;
    cx_ = p1x_ - ArcRadius * d1y_; // centre of the left-hand arc
    cy_ = p1y_ + ArcRadius * d1x_;
    p2x_ = cx_ + ArcRadius * d2y_;
    p2y_ = cy_ - ArcRadius * d2x_;
}

double TRoadScene::CentreLength() const {
    return Straight1 + ArcRadius * ArcAngle + Straight2;
}

TStationOffset TRoadScene::ToStationOffset(double x, double y) const {
    TStationOffset best;
    double bestDist = INFINITY;
    // First straight, extended backwards.
    {
        const double t = (x - StartX) * d1x_ + (y - StartY) * d1y_;
        const double o = -(x - StartX) * d1y_ + (y - StartY) * d1x_;
        const double dist = t <= Straight1 ? std::fabs(o) : Dist(x - p1x_, y - p1y_);
        bestDist = dist;
        best = {t, o};
    }
    // Second straight, extended forwards.
    {
        const double t = (x - p2x_) * d2x_ + (y - p2y_) * d2y_;
        const double o = -(x - p2x_) * d2y_ + (y - p2y_) * d2x_;
        const double dist = t >= 0 ? std::fabs(o) : Dist(x - p2x_, y - p2y_);
        if (dist < bestDist) {
            bestDist = dist;
            best = {Straight1 + ArcRadius * ArcAngle + t, o};
        }
    }
    // The arc, where it is nearer.
    const double r = Dist(x - cx_, y - cy_);
    if (std::fabs(r - ArcRadius) < bestDist) {
        const double phi = Reduce(std::atan2(y - cy_, x - cx_) - (StartHeading - Pi / 2));
        if (phi >= 0 && phi <= ArcAngle)
            best = {Straight1 + ArcRadius * phi, ArcRadius - r};
    }
    return best;
}

void TRoadScene::PointAt(double station, double offset, double &x, double &y) const {
    const double arcEnd = Straight1 + ArcRadius * ArcAngle;
    if (station <= Straight1) {
        x = StartX + station * d1x_ - offset * d1y_;
        y = StartY + station * d1y_ + offset * d1x_;
    } else if (station < arcEnd) {
        // Offsets to the left move towards the arc's centre.
        const double a = StartHeading - Pi / 2 + (station - Straight1) / ArcRadius;
        x = cx_ + (ArcRadius - offset) * std::cos(a);
        y = cy_ + (ArcRadius - offset) * std::sin(a);
    } else {
        const double t = station - arcEnd;
        x = p2x_ + t * d2x_ - offset * d2y_;
        y = p2y_ + t * d2y_ + offset * d2x_;
    }
}

TColor TRoadScene::GroundColor(double x, double y) const {
    const TStationOffset so = ToStationOffset(x, y);
    const double s = so.Station, o = so.Offset, a = std::fabs(o);
    const double shade = 4 * Wave(x * 0.143) * Wave(y * 0.175); // gentle texture, periods of some 6 m
    auto grey = [&](double v) {
        const auto g = static_cast<uint8_t>(std::clamp(v + shade, 0.0, 255.0));
        return TColor{g, g, g};
    };
    const TColor paint{228, 232, 232};
    if (a > HalfWidth + ShoulderWidth)
        return TColor{static_cast<uint8_t>(55 + shade), static_cast<uint8_t>(115 + shade),
                      static_cast<uint8_t>(80 + shade)};
    if (a > HalfWidth)
        return grey(140);
    if (a >= HalfWidth - EdgeLineWidth)
        return paint;
    if (s >= ZebraStation && s <= ZebraStation + ZebraLength) {
        const double period = StripeWidth + StripeGap;
        const double u = o + HalfWidth - period / 2; // stripe centres at u = k * period
        const double k = std::round(u / period);
        if (k >= 0 && k * period <= 2 * HalfWidth - period && std::fabs(u - k * period) <= StripeWidth / 2)
            return paint;
        return grey(80);
    }
    const double stop1 = ZebraStation - StopLineGap, stop0 = stop1 - StopLineWidth;
    if (s >= stop0 && s <= stop1 && o <= 0)
        return paint;
    if (a <= CentreLineWidth / 2) {
        const double period = DashLength + DashGap;
        const double phase = s - std::floor(s / period) * period;
        if (phase < DashLength)
            return paint;
    }
    return grey(80);
}

double TRoadScene::DriveLength() const {
    return Straight1 + (ArcRadius + LaneOffset) * ArcAngle + Straight2;
}

namespace {
struct TProfile {
    double StopPath, BrakeStart, T1, T2, V, A;
};
TProfile Profile(const TRoadScene &s) {
    // The lane path at the stop line's near edge (on the second straight the lane runs beside the centre
    // line metre for metre).
    const double laneArc = (s.ArcRadius + s.LaneOffset) * s.ArcAngle;
    const double stopStation = s.ZebraStation - s.StopLineGap - s.StopLineWidth;
    const double stopPath =
        s.Straight1 + laneArc + (stopStation - s.Straight1 - s.ArcRadius * s.ArcAngle) - s.StopBeforeLine;
    const double brake = s.Speed * s.Speed / (2 * s.Braking);
    const double t1 = (stopPath - brake) / s.Speed;
    const double t2 = t1 + s.Speed / s.Braking + s.StopSeconds;
    return {stopPath, stopPath - brake, t1, t2, s.Speed, s.Braking};
}
} // namespace

double TRoadScene::DriveSeconds() const {
    const TProfile p = Profile(*this);
    const double accel = p.V / p.A;
    return p.T2 + accel + (DriveLength() - p.StopPath - p.V * accel / 2) / p.V;
}

TPose TRoadScene::TruePose(double t) const {
    const TProfile pr = Profile(*this);
    const double brakeTime = pr.V / pr.A;
    double path;
    if (t < pr.T1)
        path = pr.V * t;
    else if (t < pr.T1 + brakeTime) {
        const double tau = t - pr.T1;
        path = pr.BrakeStart + pr.V * tau - pr.A * tau * tau / 2;
    } else if (t < pr.T2)
        path = pr.StopPath;
    else if (t < pr.T2 + brakeTime) {
        const double tau = t - pr.T2;
        path = pr.StopPath + pr.A * tau * tau / 2;
    } else
        path = pr.StopPath + pr.V * brakeTime / 2 + pr.V * (t - pr.T2 - brakeTime);

    // The lane: the centre line moved LaneOffset to the right, so its arc has the radius R + LaneOffset.
    const double h1 = StartHeading, rl = ArcRadius + LaneOffset;
    const double d1x = std::cos(h1), d1y = std::sin(h1);
    const double p1x = StartX + Straight1 * d1x, p1y = StartY + Straight1 * d1y;
    const double cx = p1x - ArcRadius * d1y, cy = p1y + ArcRadius * d1x;
    TPose pose;
    pose.Path = path;
    double heading;
    if (path < Straight1) {
        pose.X = StartX + LaneOffset * d1y + path * d1x;
        pose.Y = StartY - LaneOffset * d1x + path * d1y;
        heading = h1;
    } else if (path < Straight1 + rl * ArcAngle) {
        const double alpha = (path - Straight1) / rl;
        pose.X = cx + rl * std::cos(h1 - Pi / 2 + alpha);
        pose.Y = cy + rl * std::sin(h1 - Pi / 2 + alpha);
        heading = h1 + alpha;
    } else {
        const double h2 = h1 + ArcAngle, q = path - Straight1 - rl * ArcAngle;
        pose.X = cx + rl * std::cos(h2 - Pi / 2) + q * std::cos(h2);
        pose.Y = cy + rl * std::sin(h2 - Pi / 2) + q * std::sin(h2);
        heading = h2;
    }
    pose.Heading = Wrap2Pi(heading);
    pose.Z = StartZ + Grade * path;
    pose.Pitch = std::atan(Grade);
    pose.Roll = Roll;
    return pose;
}

TPose TRoadScene::RecordedPose(double t) const {
    TPose p = TruePose(t);
    const double c = std::cos(DriftAngle), s = std::sin(DriftAngle);
    const double x = p.X, y = p.Y;
    p.X = c * x - s * y + DriftX;
    p.Y = s * x + c * y + DriftY;
    p.Heading = Wrap2Pi(p.Heading + DriftAngle);
    return p;
}

void TRoadScene::RecordedToTrue(double &x, double &y) const {
    const double c = std::cos(DriftAngle), s = std::sin(DriftAngle);
    const double u = x - DriftX, v = y - DriftY;
    x = c * u + s * v;
    y = -s * u + c * v;
}

} // namespace makesurvey
