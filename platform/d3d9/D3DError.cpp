#include "platform/d3d9/D3DError.h"

#include <cstdio>

namespace {

std::string MessageOf(const std::string &call, HRESULT result, const std::string &detail) {
    std::string text = call + ": " + D3DResultText(result);
    if (!detail.empty())
        text += ": " + detail;
    return text;
}

} // namespace

ED3DError::ED3DError(const std::string &call, HRESULT result, const std::string &detail)
    : EPlatformError(MessageOf(call, result, detail)), call_(call), result_(result) {}

void RaiseD3DError(const std::string &call, HRESULT result, const std::string &detail) {
    throw ED3DError(call, result, detail);
}

std::string D3DResultText(HRESULT result) {
    const char *name = nullptr;
    switch (result) {
    case D3D_OK:
        name = "D3D_OK";
        break;
    case D3DERR_INVALIDCALL:
        name = "D3DERR_INVALIDCALL";
        break;
    case D3DERR_NOTAVAILABLE:
        name = "D3DERR_NOTAVAILABLE";
        break;
    case D3DERR_DEVICELOST:
        name = "D3DERR_DEVICELOST";
        break;
    case D3DERR_OUTOFVIDEOMEMORY:
        name = "D3DERR_OUTOFVIDEOMEMORY";
        break;
    case D3DERR_DRIVERINTERNALERROR:
        name = "D3DERR_DRIVERINTERNALERROR";
        break;
    default:
        break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
    return name ? std::string(name) + " (" + hex + ")" : std::string(hex);
}
