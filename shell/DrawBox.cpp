#include "shell/DrawBox.h"

#include "platform/d3d9/GLDevice.h"

#include <QMouseEvent>
#include <QOpenGLContext>

TDrawBox::TDrawBox(QWidget *parent) : QOpenGLWidget(parent) {
    setObjectName(QStringLiteral("DrawBox"));
    setFormat(DeviceSurfaceFormat());
    // The picture stays in the framebuffer after it is shown: paints between draws show it again.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    // The picture shows its colours whatever alpha the drawing left in it, as a presented back buffer
    // does: the widget's texture has no alpha to blend the window with.
    setTextureFormat(GL_RGB8);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TDrawBox::initializeGL() {
    pictureValid_ = false;
    if (OnContextReady)
        OnContextReady();
}

void TDrawBox::resizeGL(int, int) {
    pictureValid_ = false;
}

void TDrawBox::paintGL() {
    if (!pictureValid_ && OnPictureWanted)
        OnPictureWanted();
}

void TDrawBox::Forward(const TMouseEvents::TMouseHandler &handler, QMouseEvent *event) {
    if (!handler)
        return;
    TMouseEventArgs a;
    a.Button = event->button();
    a.Buttons = event->buttons();
    a.Modifiers = event->modifiers();
    // The renderer counts device pixels.
    const qreal ratio = devicePixelRatioF();
    a.X = qRound(event->position().x() * ratio);
    a.Y = qRound(event->position().y() * ratio);
    handler(nullptr, a);
}

void TDrawBox::mousePressEvent(QMouseEvent *event) {
    setFocus(Qt::MouseFocusReason);
    Forward(OnMouseDown, event);
}

void TDrawBox::mouseMoveEvent(QMouseEvent *event) {
    Forward(OnMouseMove, event);
}

void TDrawBox::mouseReleaseEvent(QMouseEvent *event) {
    Forward(OnMouseUp, event);
}
