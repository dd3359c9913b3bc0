#pragma once
// One 4 x 4 transform with a 64-level push/pop stack and a lazily computed inverse. A renderer binds
// three of them to its device (world, view, projection) so that every change reaches the device at
// once; device-less shells only transform the points they are given.
#include "engine/DxCalc_0.h"
#include "platform/d3d9/D3D9.h"

#include <cstdint>
#include <vector>

class TMatrixShell {
public:
    // device may be nullptr (a device-less shell, state 0). The device is not owned: its owner outlives
    // the shell. Starts as the identity with an empty stack.
    explicit TMatrixShell(IDirect3DDevice9 *device = nullptr,
                          D3DTRANSFORMSTATETYPE state = static_cast<D3DTRANSFORMSTATETYPE>(0));
    TMatrixShell(const TMatrixShell &) = delete;
    TMatrixShell &operator=(const TMatrixShell &) = delete;

    // Entries below 1e-7 in magnitude become exactly 0; the bound device receives the result.
    void SetMatrix(const TDxMatrix &m);
    TDxMatrix GetMatrix() const { return current_; }
    // Puts a matrix on the device only; the shell keeps its own.
    void SetDeviceTransform(const TDxMatrix &m);
    void LoadIdentity();
    void ResetStack() { top_ = -1; }
    // Saves the current matrix (the device is not touched); more than 64 levels raise EStreetError.
    void PushMatrix();
    // Restores the last saved matrix (and writes it to the device); an empty stack raises EStreetError.
    void PopMatrix();

    // after True: current := current x m (m applied to points after the transform built so far);
    // False: current := m x current (applied before it).
    void MultMatrix(bool after, const TDxMatrix &m);
    void Translate(bool after, float x, float y, float z);
    void Scale(bool after, float sx, float sy, float sz);
    // The rotations turn clockwise in a y-up plan for positive angles (radians).
    void RotateX(bool after, float angle);
    void RotateY(bool after, float angle);
    void RotateZ(bool after, float angle);
    // As RotateZ with cos = dx / h, sin = dy / h, h = |(dx, dy)|.
    void RotateByDir(bool after, float dx, float dy);
    // Left-handed perspective; fov is the horizontal field of view in radians.
    void Perspective(bool after, float nearZ, float farZ, float fov, float aspect);

    // The point transformed by the current matrix (with division by w); nothing for the identity.
    void TransformPoint(TXYZ &p) const {
        if (!identity_)
            p = TransformVector(current_, p);
    }
    // As TransformPoint; behind is set when the point lies behind the eye and is never cleared.
    void TransformPointClip(TXYZ &p, bool &behind) const {
        if (!identity_)
            TransformVectorClip(current_, p, p, behind);
    }
    // The point transformed by the inverse of the current matrix (computed once per change).
    void InverseTransform(TXYZ &p) {
        if (identity_)
            return;
        if (!inverseValid_) [[unlikely]]
            UpdateInverse();
        p = TransformVector(inverse_, p);
    }

    bool IsIdentity() const { return identity_; }
    // Index of the last saved matrix; -1 when the stack is empty.
    int32_t StackTop() const { return top_; }

    static constexpr int32_t MaxStackTop = 63;

private:
    void UpdateInverse();

    std::vector<TDxMatrix> stack_;
    int32_t top_ = -1;
    IDirect3DDevice9 *device_;
    D3DTRANSFORMSTATETYPE state_;
    TDxMatrix current_;
    TDxMatrix inverse_;
    bool inverseValid_ = false;
    bool identity_ = false;
};
