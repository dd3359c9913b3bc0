#pragma once
// The pictures item types draw their strips with, from the data files ("Текстуры" and the like). Each
// picture is read once per run. A picture that is missing or cannot be read is reported once, by one
// warning naming the file, and its batches draw without texture: no street fails to open or draw over
// a picture.
#include "engine/Cp1251.h"
#include "model/BatchSeam.h"
#include "platform/gdi/Bitmap.h"

#include <functional>
#include <memory>
#include <string>

// The picture of the data file `folder`/`name`; nullptr when it is missing or unreadable (reported once).
const TBitmap *ItemTexturePicture(const Cp1251String &folder, const Cp1251String &name);

// Gives the batch the picture, repeating along u (the strip's length) and clamped across v, with texture
// plus vertex colour; without a picture the batch stays untextured.
void SetItemTexture(TItemBatch &batch, const Cp1251String &folder, const Cp1251String &name);

class TTextureSurface;

// A texture of the data file `name` for immediate drawing, or nullptr when the file is missing or
// unreadable: then one draw problem under `key` says what `what` is and why.
std::unique_ptr<TTextureSurface> LoadDataTexture(const Cp1251String &name, const std::string &key,
                                                 const std::string &what);

// Where the warnings go (standard error when none is set); an empty function restores that.
using TItemTextureWarning = std::function<void(const std::string &message)>;
void SetItemTextureWarning(TItemTextureWarning warning);

// Forgets every picture read and every warning given, so the next use reads the files again (after the
// data files changed).
void ForgetItemTextures();
