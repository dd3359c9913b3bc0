// Holding Q or W: the temporary mode comes with the first press of the key and goes with its release;
// key repeats, other keys and a saved mode that dies meanwhile change nothing of that.
#include "shell/TempMouseMode.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TempMouseMode : public testing::Test {
protected:
    void SetUp() override {
        temp_.ModeForKey = [this](int key) -> TMouseEvents * {
            return key == Qt::Key_Q ? &pan_ : key == Qt::Key_W ? &rotate_ : nullptr;
        };
        temp_.CurrentMode = [this] { return current_; };
        temp_.SetMode = [this](TMouseEvents *m) {
            current_ = m;
            ++changes_;
        };
    }

    TMouseEvents pan_, rotate_, select_;
    TMouseEvents *current_ = nullptr;
    int changes_ = 0;
    TTempMouseMode temp_;
};

TEST_F(TempMouseMode, HoldingAKeyEntersItsModeAndLettingGoRestoresTheModeBefore) {
    current_ = &select_;
    EXPECT_TRUE(temp_.KeyDown(Qt::Key_Q, false));
    EXPECT_EQ(current_, &pan_);
    EXPECT_EQ(temp_.SavedMode(), &select_);
    EXPECT_TRUE(temp_.KeyUp(Qt::Key_Q, false));
    EXPECT_EQ(current_, &select_);
    EXPECT_FALSE(temp_.Active());
    // Also when there was no mode before.
    current_ = nullptr;
    temp_.KeyDown(Qt::Key_W, false);
    EXPECT_EQ(current_, &rotate_);
    temp_.KeyUp(Qt::Key_W, false);
    EXPECT_EQ(current_, nullptr);
    EXPECT_EQ(changes_, 4);
}

TEST_F(TempMouseMode, RepeatsAndOtherKeysChangeNothing) {
    current_ = &select_;
    struct TStep {
        bool Down;
        int Key;
        bool Repeat;
        TMouseEvents *After;
    };
    // A held key repeats as release-press pairs; W while Q is held is ignored, and so is its release.
    const TStep steps[] = {
        {true, Qt::Key_Q, false, &pan_},     {false, Qt::Key_Q, true, &pan_},
        {true, Qt::Key_Q, true, &pan_},      {true, Qt::Key_W, false, &pan_},
        {false, Qt::Key_W, false, &pan_},    {true, Qt::Key_A, false, &pan_},
        {true, Qt::Key_Q, false, &pan_},     {false, Qt::Key_Q, false, &select_},
        {false, Qt::Key_Q, false, &select_}, {true, Qt::Key_W, true, &select_},
    };
    for (const TStep &s : steps) {
        if (s.Down)
            temp_.KeyDown(s.Key, s.Repeat);
        else
            temp_.KeyUp(s.Key, s.Repeat);
        EXPECT_EQ(current_, s.After) << (s.Down ? "down " : "up ") << s.Key << (s.Repeat ? " repeat" : "");
    }
    EXPECT_EQ(changes_, 2);
}

TEST_F(TempMouseMode, TheSavedModeCannotDangle) {
    auto doomed = std::make_unique<TMouseEvents>();
    current_ = doomed.get();
    temp_.KeyDown(Qt::Key_Q, false);
    doomed.reset();
    EXPECT_EQ(temp_.SavedMode(), nullptr);
    temp_.KeyUp(Qt::Key_Q, false);
    EXPECT_EQ(current_, nullptr);
}

TEST_F(TempMouseMode, LosingTheKeyboardLeavesTheMode) {
    current_ = &select_;
    temp_.KeyDown(Qt::Key_W, false);
    temp_.Cancel();
    EXPECT_EQ(current_, &select_);
    EXPECT_FALSE(temp_.Active());
    // The release that comes later (if it does) changes nothing.
    EXPECT_FALSE(temp_.KeyUp(Qt::Key_W, false));
    EXPECT_EQ(current_, &select_);
}

} // namespace
