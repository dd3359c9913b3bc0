#pragma once
// The drawing target and what goes with it: renderers, drawing parameters, the matrix stacks, textures,
// vertices and the canvas over a painter.
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/DxVertex.h"
#include "engine/MatrixShell.h"
#include "platform/gdi/CanvasEmulator.h"
