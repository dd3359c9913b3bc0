#pragma once
// Window positions between Qt widgets and the settings store: a widget's place as a TFormPos, its work
// area (the available part of its screen), and saving and restoring under the window's objectName.
#include "engine/Reg_Shell.h"

#include <QPoint>

class QWidget;

// The available area of the screen that holds the point (the primary screen when none does).
TWorkArea WorkAreaAt(const QPoint &globalPos);
TWorkArea WorkAreaOf(const QWidget *widget);

// The widget's place and size; Name is its objectName.
TFormPos FormPosOf(const QWidget *widget, bool sizeable);
// Moves and (for sizeable forms) resizes the widget.
void ApplyFormPos(QWidget *widget, const TFormPos &pos);

// Restores the place stored under the widget's objectName and fits it onto its screen.
void RestoreWidgetPos(QWidget *widget, bool sizeable);
void SaveWidgetPos(const QWidget *widget, bool sizeable);

// Puts the widget's top-left corner at the point and pulls it wholly into the work area there.
void PlaceAndFit(QWidget *widget, const QPoint &globalPos);
