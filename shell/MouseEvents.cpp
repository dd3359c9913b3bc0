#include "shell/MouseEvents.h"

TMouseEvents::TMouseEvents(QObject *parent) : QObject(parent) {}

TMouseEvents::~TMouseEvents() {
    if (OnDestroy)
        OnDestroy(this);
}

bool TMouseEvents::CheckContext() {
    bool valid = true;
    if (OnCheckContext)
        OnCheckContext(this, valid);
    return valid;
}

void TMouseEvents::Activate() {
    if (BeforeSendEvents)
        BeforeSendEvents(this);
}

void TMouseEvents::MouseDown(const TMouseEventArgs &e) {
    pressed_ = true;
    if (OnMouseDown)
        OnMouseDown(this, e);
}

void TMouseEvents::MouseMove(const TMouseEventArgs &e) {
    if (OnMouseMove)
        OnMouseMove(this, e);
}

void TMouseEvents::MouseUp(const TMouseEventArgs &e) {
    if (!pressed_)
        return;
    pressed_ = false;
    if (OnMouseUp)
        OnMouseUp(this, e);
}
