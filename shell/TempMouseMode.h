#pragma once
// The temporary mouse modes: holding Q pans and holding W turns the plan; letting the key go returns to the
// mode that was current before. Only the key that entered the mode leaves it; keys held down repeat, and
// the repeats (presses and releases alike) change nothing. The saved mode is watched: when it is destroyed
// meanwhile, letting the key go leaves no mode rather than a dangling one. When the window loses the
// keyboard while the key is held, the release never comes: Cancel returns to the saved mode then.
#include "shell/MouseEvents.h"

#include <QPointer>

#include <functional>

class TTempMouseMode {
public:
    // The mode a key enters (nullptr: the key enters none).
    std::function<TMouseEvents *(int key)> ModeForKey;
    std::function<TMouseEvents *()> CurrentMode;
    std::function<void(TMouseEvents *)> SetMode;

    // True when the key entered a temporary mode.
    bool KeyDown(int key, bool autoRepeat);
    // True when the key left the temporary mode.
    bool KeyUp(int key, bool autoRepeat);
    // Leaves the temporary mode (if any) as its key's release would.
    void Cancel();

    bool Active() const { return active_; }
    int Key() const { return key_; }
    TMouseEvents *SavedMode() const { return saved_.data(); }

private:
    bool active_ = false;
    int key_ = 0;
    QPointer<TMouseEvents> saved_;
};
