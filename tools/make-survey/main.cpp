// make-survey OUT.FVideo [options]: writes the synthetic survey of the known road scene.
#include "model/StreetStructure.h"
#include "tools/make-survey/MakeSurvey.h"
#include "tools/make-survey/SceneStreet.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

int Usage(const char *self) {
    std::fprintf(stderr,
                 "usage: %s OUT.FVideo [--size WxH] [--quality Q] [--supersample N] [--seconds S]\n"
                 "       [--ties N] [--lvideo FILE.LVideo] [--reference NAME] [--seed N] [--street FILE.zrv]\n"
                 "  --size         frame size, multiples of 16 (default 320x240)\n"
                 "  --quality      codec quality (default 3)\n"
                 "  --supersample  rays per pixel along each axis (default 2)\n"
                 "  --seconds      only the first seconds of the drive (default: all of it)\n"
                 "  --ties         0 to 3 tie points (default 3)\n"
                 "  --lvideo       put the frames into this frame file\n"
                 "  --reference    the frame file's name as the survey stores it (default: its bare name)\n"
                 "  --street       also write the scene's road way and shoulders as a street file\n",
                 self);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return Usage(argv[0]);
    makesurvey::TSurveyOptions o;
    std::string out, streetFile;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::runtime_error("missing value after " + a);
                return argv[++i];
            };
            if (a == "--size") {
                const std::string v = value();
                const auto x = v.find('x');
                if (x == std::string::npos)
                    throw std::runtime_error("--size wants WxH");
                o.Width = std::stoi(v.substr(0, x));
                o.Height = std::stoi(v.substr(x + 1));
            } else if (a == "--quality")
                o.Quality = std::stoi(value());
            else if (a == "--supersample")
                o.Supersample = std::stoi(value());
            else if (a == "--seconds")
                o.Seconds = std::stod(value());
            else if (a == "--ties")
                o.TieCount = std::stoi(value());
            else if (a == "--lvideo")
                o.FrameFile = value();
            else if (a == "--reference")
                o.FrameReference = value();
            else if (a == "--street")
                streetFile = value();
            else if (a == "--seed")
                o.Seed = static_cast<uint32_t>(std::stoul(value()));
            else if (!a.empty() && a[0] == '-')
                return Usage(argv[0]);
            else
                out = a;
        }
        if (out.empty())
            return Usage(argv[0]);
        const makesurvey::TSurveyInfo info = makesurvey::WriteSurvey(out, o);
        std::size_t frames = 0;
        for (const auto &s : info.Streams)
            frames += s.size();
        std::printf("%s: %zu streams, %zu frames, %zu ties, %lld bytes", out.c_str(), info.Streams.size(),
                    frames, info.Ties.size(), static_cast<long long>(info.FileSize));
        if (!o.FrameFile.empty())
            std::printf("; frames in %s (%lld bytes)", o.FrameFile.c_str(),
                        static_cast<long long>(info.FrameFileSize));
        std::printf("\n");
        if (!streetFile.empty()) {
            makesurvey::MakeSceneStreet(info.Scene)->SaveToFile(streetFile);
            std::printf("%s: the scene's street\n", streetFile.c_str());
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-survey: %s\n", e.what());
        return 1;
    }
}
