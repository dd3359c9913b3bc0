#pragma once
// A mouse mode of the view: the handlers the view's mouse goes to while the mode is current, its cursor
// number and a context check. A release reaches the mode only after a press went through it, so a mode
// made current while a button was held never sees that button's release.
//
// The main window keeps the current and the saved mode as QPointers: a mode destroyed while current
// leaves no dangling pointer behind.
#include "shell/CursorIds.h"

#include <QObject>
#include <QString>

#include <functional>

struct TMouseEventArgs {
    Qt::MouseButton Button = Qt::NoButton; // the button pressed or released (none for moves)
    Qt::MouseButtons Buttons;              // the buttons held after the event
    Qt::KeyboardModifiers Modifiers;
    int X = 0, Y = 0; // in view pixels
};

class TMouseEvents : public QObject {
    Q_OBJECT
public:
    using TMouseHandler = std::function<void(TMouseEvents *, const TMouseEventArgs &)>;

    explicit TMouseEvents(QObject *parent = nullptr);
    // Calls OnDestroy.
    ~TMouseEvents() override;

    TMouseHandler OnMouseDown, OnMouseMove, OnMouseUp;
    std::function<void(TMouseEvents *, bool &)> OnCheckContext;
    std::function<void(TMouseEvents *)> BeforeSendEvents, OnDestroy;
    // Cursor number (10 to 44); -1 keeps the view's default cursor.
    int Cursor = NoCursor;
    QString Description;

    bool Pressed() const { return pressed_; }
    // Valid := true, then OnCheckContext.
    bool CheckContext();
    // Called when the mode becomes current.
    void Activate();
    void MouseDown(const TMouseEventArgs &e);
    void MouseMove(const TMouseEventArgs &e);
    void MouseUp(const TMouseEventArgs &e);

private:
    bool pressed_ = false;
};
