#pragma once
// The regular-polygon dialog: the number of vertices (3 to 99; more than 3 ticks rounding, 3 clears it),
// the radius, whether two items close the outline and whether the new items are splines. It asks; the
// point editor builds.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "shell/PointEditOps.h"
#endif

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class MakePolygonForm;
}

class TMakePolygonForm : public QDialog {
    Q_OBJECT
public:
    explicit TMakePolygonForm(QWidget *parent = nullptr);
    ~TMakePolygonForm() override;

    TRegularPolygonParams Params() const;
    void SetVertices(int n);
    Ui::MakePolygonForm &Form() const { return *ui_; }

    // Asks for the parameters (the dialog, modal, at its stored place); true on OK. Tests and unattended
    // runs replace the question with SetPrompt (nullptr returns to the dialog).
    static bool Ask(TRegularPolygonParams &params);
    static void SetPrompt(std::function<bool(TRegularPolygonParams &)> prompt);

protected:
    void done(int result) override;

private:
    std::unique_ptr<Ui::MakePolygonForm> ui_;
};
