#pragma once
// The info grid under the view: one cell "caption = value" per info line of the current selection, laid
// out row by row in as many columns of 200 pixels as the width holds. A left click on a cell whose line
// can be edited asks the line to edit its value; the popup copies a cell's value. The grid takes no
// keyboard focus: keys go to the plan.
#include <QPointer>
#include <QTableWidget>

#include <functional>
#include <vector>

class TInfoStringAction;

class TInfoGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int DefaultColumnWidth = 200;
    static constexpr int RowHeight = 16;

    explicit TInfoGrid(QWidget *parent = nullptr);

    struct TCell {
        QString Text;
        QColor Back, Fore;
        QPointer<TInfoStringAction> Action;
        QPixmap Image;
    };
    // The lines shown: every info line that is visible, valid and chosen to be shown, in the order made.
    static std::vector<TCell> CollectLines();
    // Lays the lines out: columns := width div 200 (at least 1), row by row.
    void Rebuild(const std::vector<TCell> &lines);
    const TCell *Cell(int row, int column) const;

    // Enabled only while the pointer is over the grid; then its hint is the value under the pointer.
    void TimerTick();
    // While true the cells are not painted (a new picture and new values are on their way).
    std::function<bool()> PaintBlocked;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    friend class TInfoGridDelegate;
    std::vector<TCell> cells_;
    int columns_ = 1;
};
