#pragma once
// Two number columns of a table window become a design line in the current street: x from one column,
// y from the other (times 10 when the scale box is ticked), one vertex per data row. One dialog for the
// program, modal, staying open after each line it makes.
#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

namespace Ui {
class TblToGeometryForm;
}
class TTablePreviewForm;
class TStreetStructure;
class TAbstractItem;

class TTblToGeometryForm : public QDialog {
    Q_OBJECT
public:
    explicit TTblToGeometryForm(QWidget *parent = nullptr);
    ~TTblToGeometryForm() override;

    // The program's one dialog (made on first use, freed when closed).
    static TTblToGeometryForm &Instance();
    // Remembers the window, offers its column names, and shows the dialog modally.
    static void SetTable(TTablePreviewForm *table);
    // The first two steps without showing (tests).
    void Attach(TTablePreviewForm *table);

    void SetColumns(int x, int y, bool scaled);
    // Reads every data row first: a cell that is no finite number names its row and column and makes
    // nothing; fewer than two rows make nothing. Returns the new line (nullptr when none was made).
    TAbstractItem *Do();

    // The street the line goes into (the active one); the items module sets it.
    static std::function<TStreetStructure *()> CurrentStreet;
    static std::function<void()> Refresh;

private:
    std::unique_ptr<Ui::TblToGeometryForm> ui_;
    QPointer<TTablePreviewForm> table_;
};
