#pragma once
// Writes a synthetic video survey file of the known road scene (SurveyScene.h): four camera streams whose
// frames are rendered by casting rays from a pinhole camera onto the painted ground and packed with the
// codec's fixture encoder, the vehicle's recorded poses, camera and platform parameters, the local
// converter's parameters and ties that undo the recording error. The bytes are put together here, apart
// from the program's reader and its writer, so that a matching mistake on both sides cannot pass.
#include "tools/make-survey/SurveyScene.h"

#include <cstdint>
#include <string>
#include <vector>

namespace makesurvey {

struct TSurveyOptions {
    int Width = 320, Height = 240; // multiples of 16
    int Quality = 3;
    int Supersample = 2; // rays per pixel along each axis
    double Seconds = 0;  // only the first seconds of the drive; 0 = all of it
    int TieCount = 3;    // 0 .. 3, on frames of the front camera
    // When set, the frames go to this frame file and the survey references it by FrameReference (by
    // FrameFile's bare name when that is empty).
    std::string FrameFile;
    std::string FrameReference;
    uint32_t Seed = 1; // frame-time jitter
};

struct TWrittenFrame {
    int64_t Time = 0; // ms
    TPose Recorded;   // what the file holds
    TPose True;       // what the picture shows
    int64_t Position = 0;
    uint32_t Size = 0;
};

struct TWrittenTie {
    int32_t Stream = 0, Frame = 0;
    int64_t Time = 0;
    float X = 0, Y = 0;
};

struct TSurveyInfo {
    TRoadScene Scene;
    std::vector<std::vector<TWrittenFrame>> Streams;
    std::vector<TWrittenTie> Ties;
    int64_t FileSize = 0;
    int64_t FrameFileSize = 0;
};

// Throws std::runtime_error when the options are unusable or the file cannot be written.
TSurveyInfo WriteSurvey(const std::string &FileName, const TSurveyOptions &Options);

// One camera's picture of the scene from a true vehicle pose: Width x Height pixels of blue, green, red, 0,
// top row first. The camera stands at the platform's and its own forward and left offsets (turned with the
// vehicle), at the sum of their heights above the ground, and looks level in the direction of the vehicle's
// heading plus the platform's and its own heading; its field of view spans the picture's width, the pixel
// centres lie at half-pixel positions and the principal point at the picture's centre, so the horizon
// crosses the middle of the picture and the ground lies below it.
std::vector<uint8_t> RenderView(const TRoadScene &Scene, const TPose &TruePose, int Camera, int Width,
                                int Height, int Supersample);

} // namespace makesurvey
