#include "engine/MatrixShell.h"

#include "engine/StreetError.h"

#include <bit>
#include <cmath>
#include <cstring>

static_assert(sizeof(D3DMATRIX) == sizeof(TDxMatrix));

namespace {

TDxMatrix Identity() {
    TDxMatrix m;
    MatrixIdentity(m);
    return m;
}

// cos and sin of a single angle, each stored as a single.
void CosSin(float angle, float &c, float &s) {
    c = float(std::cos(double(angle)));
    s = float(std::sin(double(angle)));
}

} // namespace

TMatrixShell::TMatrixShell(IDirect3DDevice9 *device, D3DTRANSFORMSTATETYPE state)
    : device_(device), state_(state) {
    LoadIdentity();
    ResetStack();
}

void TMatrixShell::SetMatrix(const TDxMatrix &m) {
    current_ = m;
    for (auto &row : current_.m) {
        for (float &v : row) {
            if (std::fabs(double(v)) < 1e-7)
                v = 0;
        }
    }
    inverseValid_ = false;
    if (device_)
        device_->SetTransform(state_, std::bit_cast<D3DMATRIX>(current_));
    static const TDxMatrix identity = Identity();
    identity_ = std::memcmp(&current_, &identity, sizeof identity) == 0;
}

void TMatrixShell::SetDeviceTransform(const TDxMatrix &m) {
    if (device_)
        device_->SetTransform(state_, std::bit_cast<D3DMATRIX>(m));
}

void TMatrixShell::LoadIdentity() {
    SetMatrix(Identity());
}

void TMatrixShell::PushMatrix() {
    if (top_ >= MaxStackTop)
        throw EStreetError("TMatrixShell.PushMatrix overflow");
    const int32_t top = top_ + 1;
    if (stack_.size() < static_cast<std::size_t>(top) + 1)
        stack_.resize(static_cast<std::size_t>(top) + 1);
    stack_[static_cast<std::size_t>(top)] = current_;
    top_ = top;
}

void TMatrixShell::PopMatrix() {
    if (top_ < 0)
        throw EStreetError("TMatrixShell.PopMatrix overflow");
    SetMatrix(stack_[static_cast<std::size_t>(top_)]);
    --top_;
}

void TMatrixShell::MultMatrix(bool after, const TDxMatrix &m) {
    TDxMatrix r;
    if (after)
        MatrixMultiply(current_, m, r);
    else
        MatrixMultiply(m, current_, r);
    SetMatrix(r);
}

void TMatrixShell::Translate(bool after, float x, float y, float z) {
    TDxMatrix m = Identity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    MultMatrix(after, m);
}

void TMatrixShell::Scale(bool after, float sx, float sy, float sz) {
    TDxMatrix m;
    m.m[0][0] = sx;
    m.m[1][1] = sy;
    m.m[2][2] = sz;
    m.m[3][3] = 1;
    MultMatrix(after, m);
}

void TMatrixShell::RotateX(bool after, float angle) {
    float c, s;
    CosSin(angle, c, s);
    TDxMatrix m;
    m.m[0][0] = 1;
    m.m[1][1] = c;
    m.m[1][2] = -s;
    m.m[2][1] = s;
    m.m[2][2] = c;
    m.m[3][3] = 1;
    MultMatrix(after, m);
}

void TMatrixShell::RotateY(bool after, float angle) {
    float c, s;
    CosSin(angle, c, s);
    TDxMatrix m;
    m.m[1][1] = 1;
    m.m[0][0] = c;
    m.m[0][2] = s;
    m.m[2][0] = -s;
    m.m[2][2] = c;
    m.m[3][3] = 1;
    MultMatrix(after, m);
}

namespace {

TDxMatrix RotationZ(float c, float s) {
    TDxMatrix m;
    m.m[2][2] = 1;
    m.m[0][0] = c;
    m.m[0][1] = -s;
    m.m[1][0] = s;
    m.m[1][1] = c;
    m.m[3][3] = 1;
    return m;
}

} // namespace

void TMatrixShell::RotateZ(bool after, float angle) {
    float c, s;
    CosSin(angle, c, s);
    MultMatrix(after, RotationZ(c, s));
}

void TMatrixShell::RotateByDir(bool after, float dx, float dy) {
    const double h = std::sqrt(double(dx) * dx + double(dy) * dy);
    MultMatrix(after, RotationZ(float(dx / h), float(dy / h)));
}

void TMatrixShell::Perspective(bool after, float nearZ, float farZ, float fov, float aspect) {
    TDxMatrix m;
    const float m11 = float(1.0 / std::tan(double(fov) / 2));
    const float m33 = float(double(farZ) / (double(farZ) - nearZ));
    m.m[0][0] = m11;
    m.m[1][1] = float(double(m11) * aspect);
    m.m[2][2] = m33;
    m.m[2][3] = 1;
    m.m[3][2] = float(-double(m33) * nearZ);
    MultMatrix(after, m);
}

void TMatrixShell::UpdateInverse() {
    MatrixInvert(current_, inverse_);
    inverseValid_ = true;
}
