#pragma once
// The body shared by the two metafile targets (their seed corpora differ): an application for fonts,
// then load and play.
#include "platform/PlatformError.h"
#include "platform/gdi/Metafile.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>
#include <new>

inline int FuzzMetafile(const uint8_t *data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static bool platform = setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0;
    // Kept to the end of the process: Qt's font caches cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)platform;
    (void)app;
    TMetafile m;
    try {
        m.LoadFromBytes(data, size);
    } catch (const EPlatformError &) {
        return 0;
    }
    QImage img(48, 48, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    try {
        m.Play(painter, QRectF(1, 1, 46, 46));
    } catch (const EPlatformError &) {
    }
    return 0;
}
