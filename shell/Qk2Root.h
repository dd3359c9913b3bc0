#pragma once
// The common base of the program's data modules: a QObject that adds nothing, so that every module can be
// reached and told apart through Qt's object tree and meta-object names. The program's windows derive
// directly from the Qt window class that fits them (QMainWindow, QDialog, QWidget); they need no common base.
#include <QObject>

class TQk2RootDatamodule : public QObject {
    Q_OBJECT
public:
    explicit TQk2RootDatamodule(QObject *parent = nullptr) : QObject(parent) {}
};
