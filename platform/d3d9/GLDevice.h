#pragma once
// The device on OpenGL 3.3 core. One shader pair stands in for the fixed-function stage; vertices go
// through one streaming vertex buffer. Everything runs on the UI thread with a QGuiApplication alive.
//
// What the emulation keeps of the Direct3D 9 device: pixel centres lie on whole screen coordinates (a
// point or a line from (x, y) lights pixel (x, y), and a line also lights its last pixel); clip-space z
// runs 0..w; matrices are row-vector (v x World x View x Projection); with no lights a vertex shows
// vertex.rgb x ambient.rgb and its own alpha; with no texture set, stage 0 passes the vertex colour
// whatever its colour operation; the viewport is the whole target until SetViewport gives another.
#include "platform/d3d9/D3D9.h"

#include <QSurfaceFormat>

#include <memory>

class QOpenGLWidget;

// The format an on-screen target's widget must have before it is first shown: OpenGL 3.3 core,
// 32-bit colour, 24-bit depth with 8-bit stencil, no multisampling, no vertical sync.
QSurfaceFormat DeviceSurfaceFormat();

// A device drawing into an off-screen target of width x height, with a context of its own on a hidden
// surface (no window is involved). Without stencil, as Direct3D's off-screen surfaces; withStencil adds
// a depth-stencil buffer. Raises ED3DError (D3DERR_NOTAVAILABLE) when no OpenGL 3.3 context can be made.
std::shared_ptr<IDirect3DDevice9> CreateOffscreenDevice(int width, int height, bool withStencil = false);

// A device drawing into the widget's framebuffer (its context must exist: the widget has been shown
// with DeviceSurfaceFormat). The target follows the widget's size. Drawing may happen in the widget's
// paintGL or at any other time; Present outside paintGL asks the widget to show the new image. When the
// widget or its context goes, every call raises D3DERR_DEVICELOST and Present returns it: make a new
// device then.
std::shared_ptr<IDirect3DDevice9> CreateWidgetDevice(QOpenGLWidget *widget);

// Whether devices leave out of triangle and line lists what cannot change a pixel (on unless switched
// off; SmallPrimitives.h). The picture is the same either way: tests compare the two.
void SetSmallPrimitiveFilter(bool on);
