#pragma once
// The known road scene of the synthetic survey, all in one place: the road's centre line and cross-section,
// its painted markings, the vehicle's drive, the recording errors, the cameras and the side data. The
// survey writer renders frames from it; tests compare what the program reads with it; a street written
// from the same scene can later be laid over the frames.
//
// Conventions (the same the program uses): metres in a local frame, x east, y north, z up; a heading is the
// counter-clockwise angle from +x, in radians; times are milliseconds from the survey's base date-time,
// an OLE automation date (days since 1899-12-30).
#include <array>
#include <cstdint>
#include <vector>

namespace makesurvey {

// A pose of the vehicle: its reference point on the ground plane and the direction of travel.
struct TPose {
    double Path = 0; // metres driven
    double X = 0, Y = 0, Z = 0;
    double Heading = 0; // in [0, 2 pi)
    double Pitch = 0, Roll = 0;
};

// Where a point lies relative to the road's centre line: the station along it from its start and the
// offset from it, positive to the left of the direction of increasing station.
struct TStationOffset {
    double Station = 0;
    double Offset = 0;
};

// A camera on the vehicle, as stored in the survey: forward, left and up offsets (metres) and heading,
// pitch, roll (radians) relative to the platform, then the horizontal field of view (radians).
struct TCamera {
    std::array<float, 7> Params{};
    int64_t StartMs = 0; // the stream's first frame
    int64_t PhaseMs = 0; // offset of its 10 Hz clock
};

// Colours are blue, green, red bytes.
struct TColor {
    uint8_t B = 0, G = 0, R = 0;
};

struct TRoadScene {
    // Centre line: a straight, a left-hand arc and a straight; the arc turns from heading -pi/6 through
    // heading 0 (= 2 pi) to +pi/6.
    double StartX = 0, StartY = 0;
    double StartHeading;   // -pi/6
    double Straight1 = 20; // metres
    double ArcRadius = 60; // metres, turning left
    double ArcAngle;       // pi/3
    double Straight2 = 40; // metres

    // Cross-section: a 7 m carriageway of two lanes, solid edge lines inside its edges, a dashed centre
    // line, a shoulder strip and grass beyond.
    double HalfWidth = 3.5;
    double EdgeLineWidth = 0.15; // from the carriageway's edge inward
    double CentreLineWidth = 0.15;
    double DashLength = 3, DashGap = 6; // the first dash starts at station 0
    double ShoulderWidth = 0.5;

    // On the second straight: a zebra crossing across the whole carriageway, its stripes parallel to the
    // road (StripeWidth wide, StripeGap apart, the first centred StripeWidth/2 + StripeGap/2 inside each
    // edge), and a stop line across the right-hand lane before it.
    double ZebraStation; // where the zebra starts
    double ZebraLength = 4;
    double StripeWidth = 0.5, StripeGap = 0.5;
    double StopLineGap = 1.5; // between the stop line and the zebra
    double StopLineWidth = 0.4;

    // The drive: in the right-hand lane (offset -LaneOffset) in the direction of increasing station, at
    // Speed, stopping with its reference point StopBeforeLine metres before the stop line for StopSeconds.
    double LaneOffset = 1.75;
    double Speed = 10;    // m/s
    double Braking = 2.5; // m/s^2, also the acceleration after the stop
    double StopBeforeLine = 3;
    double StopSeconds = 2;
    double StartZ = 150, Grade = 0.02; // the road climbs along the drive
    double Roll = 0.005;

    // What the recorder got wrong: recorded position = rotation by DriftAngle about the origin of the true
    // position, plus DriftX, DriftY; the recorded heading is the true one plus DriftAngle. The ties undo it.
    double DriftAngle = 0.01, DriftX = 0.8, DriftY = -0.5;

    // Cameras: front, left and right (looking 60 degrees to the side, so that the road edges show), and a
    // rear camera whose stream starts 12 s later.
    std::array<float, 6> Platform{};
    std::array<TCamera, 4> Cameras{};
    int FramePeriodMs = 100;
    int JitterMs = 3; // each frame's time moves by up to this much either way

    double BaseTime = 45457.4375; // 2024-06-14 10:30
    // The local converter's eight parameters: ECEF base, local point of the base, turn, scale.
    std::array<double, 8> ConvParams{};

    // Sets the defaults and derives the geometry below; call Update after changing the road's fields.
    TRoadScene();
    void Update();

    // Geometry of the centre line.
    double CentreLength() const;
    TStationOffset ToStationOffset(double x, double y) const;
    // The ground point at a station and offset (the inverse of ToStationOffset near the road).
    void PointAt(double station, double offset, double &x, double &y) const;
    // The paint, road or ground colour of a ground point.
    TColor GroundColor(double x, double y) const;

    // The drive.
    double DriveLength() const;  // metres along the lane
    double DriveSeconds() const; // from the start to the end of the lane
    TPose TruePose(double seconds) const;
    TPose RecordedPose(double seconds) const;
    // A recorded position mapped back to the truth.
    void RecordedToTrue(double &x, double &y) const;

private:
    // Derived from the fields above by Update: directions of the straights, the arc's ends and centre.
    double d1x_ = 0, d1y_ = 0, d2x_ = 0, d2y_ = 0;
    double p1x_ = 0, p1y_ = 0, p2x_ = 0, p2y_ = 0, cx_ = 0, cy_ = 0;
};

} // namespace makesurvey
