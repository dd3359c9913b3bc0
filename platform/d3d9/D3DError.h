#pragma once
// A failed device call: the text names the call and its result code, e.g.
// "IDirect3DDevice9.Clear: D3DERR_INVALIDCALL (0x8876086C): the target has no stencil buffer".
#include "platform/PlatformError.h"
#include "platform/d3d9/D3D9.h"

#include <string>

class ED3DError : public EPlatformError {
public:
    ED3DError(const std::string &call, HRESULT result, const std::string &detail);
    HRESULT Result() const { return result_; }
    const std::string &Call() const { return call_; }

private:
    std::string call_;
    HRESULT result_;
};

[[noreturn]] void RaiseD3DError(const std::string &call, HRESULT result, const std::string &detail = {});

// "D3DERR_INVALIDCALL (0x8876086C)"; unknown codes as the hexadecimal value alone.
std::string D3DResultText(HRESULT result);
