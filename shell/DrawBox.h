#pragma once
// The view of the main window: a GL widget the display renderer draws into. The picture is drawn on the
// main window's draw tick, not in paint events; the widget keeps the last picture between paints, so a
// paint needs a new picture only when the widget's framebuffer was made anew (first show, resize).
#include "shell/MouseEvents.h"

#include <QOpenGLWidget>

#include <functional>

class TDrawBox : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TDrawBox(QWidget *parent = nullptr);

    // The GL context exists (first show, or made again after the widget moved to another window).
    std::function<void()> OnContextReady;
    // The picture shown is not the last one drawn: a new one is wanted.
    std::function<void()> OnPictureWanted;
    TMouseEvents::TMouseHandler OnMouseDown, OnMouseMove, OnMouseUp;

    // The framebuffer holds the picture just drawn.
    void PictureDrawn() { pictureValid_ = true; }
    bool PictureValid() const { return pictureValid_; }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void Forward(const TMouseEvents::TMouseHandler &handler, QMouseEvent *event);
    bool pictureValid_ = false;
};
