#pragma once
// Failures of the host layers (device, fonts, metafiles). The text names the interface and call, a colon
// and the reason, like the engine's errors: "TMetafile.LoadFromFile: sign.emf: not a metafile".
#include <stdexcept>
#include <string>

class EPlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EPlatformError with the text "<where>: <reason>".
[[noreturn]] void RaisePlatformError(const std::string &where, const std::string &reason);
