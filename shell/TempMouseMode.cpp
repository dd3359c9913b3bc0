#include "shell/TempMouseMode.h"

bool TTempMouseMode::KeyDown(int key, bool autoRepeat) {
    if (active_ || autoRepeat || !ModeForKey)
        return false;
    TMouseEvents *mode = ModeForKey(key);
    if (mode == nullptr)
        return false;
    active_ = true;
    key_ = key;
    saved_ = CurrentMode ? CurrentMode() : nullptr;
    if (SetMode)
        SetMode(mode);
    return true;
}

bool TTempMouseMode::KeyUp(int key, bool autoRepeat) {
    if (!active_ || autoRepeat || key != key_)
        return false;
    Cancel();
    return true;
}

void TTempMouseMode::Cancel() {
    if (!active_)
        return;
    active_ = false;
    key_ = 0;
    TMouseEvents *saved = saved_.data();
    saved_.clear();
    if (SetMode)
        SetMode(saved);
}
