#pragma once
// The picture chooser: the metafiles ("*.emf", "*.wmf") of a folder as a grid of thumbnails with their
// names, a list of folders kept in the settings ("EMFGridForm": "DirList", "LastDir"), and a double click
// (two releases less than 5 pixels apart within 300 ms) or Enter to choose.
//
// Pictures are drawn by a thumbnail provider: the metafile player registers one at start-up; without it
// cells show no picture.
#include <QAbstractScrollArea>
#include <QCache>
#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace Ui {
class EMFGridForm;
}

// Renders picture files for the chooser.
class IPictureThumbnails {
public:
    virtual ~IPictureThumbnails();
    // The picture of the file, its size standing for the picture's own size; a null image when the file
    // cannot be read.
    virtual QImage Thumbnail(const QString &fileName) = 0;
};

// The provider in use (nullptr: pictures are not drawn). The caller keeps it alive while it is set.
void SetPictureThumbnails(IPictureThumbnails *provider);
IPictureThumbnails *PictureThumbnails();

// A grid of equal cells drawn by its owner, with a vertical scroll bar only.
class TPictureGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TPictureGrid(QWidget *parent = nullptr);

    std::function<void(QPainter &, int col, int row, const QRect &cell, bool selected)> DrawCell;

    void SetLayout(int colCount, int rowCount, int cellSize);
    int ColCount() const { return cols_; }
    int RowCount() const { return rows_; }
    int CellSize() const { return cell_; }
    int Col() const { return col_; }
    int Row() const { return row_; }
    void SetCurrent(int col, int row);
    // The cell under a viewport point; false when there is none.
    bool CellAt(const QPoint &pos, int &col, int &row) const;

signals:
    void Released(const QPoint &pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void UpdateScrollBar();

    int cols_ = 0, rows_ = 0, cell_ = 64;
    int col_ = 0, row_ = 0;
};

class TEMFGridForm : public QDialog {
    Q_OBJECT
public:
    // Shows the chooser; the chosen file, or empty.
    static QString ChoosePicture(const QString &caption);

    explicit TEMFGridForm(QWidget *parent = nullptr);
    ~TEMFGridForm() override;

    QString SelectedFile; // the result; empty when nothing was chosen
    QStringList Files;    // picture files of the selected folder, sorted
    QPoint LastClick{-10000, -10000};

    QString Directory() const;
    QStringList Directories() const;
    // Adds the folder to the list when absent and selects it; a folder that does not exist is offered
    // for removal. The files are read again in every case.
    void SetDirectory(const QString &dir);
    void DeleteDirectory();
    void SetLargeCells(bool large);
    TPictureGrid *Grid() const;
    QTimer *DblClickTimer() { return &dblClickTimer_; }

    // Geometry of the cells: columns for a client width, rows for a number of files, and where a picture
    // of the given size goes in a cell (empty when it has no width or height to scale).
    static int ColumnCount(int clientWidth, int cellSize);
    static int RowCount(int fileCount, int columns);
    static QRect PictureRect(const QRect &cell, const QSize &picture);
    // The caption of a file: its name up to the first ".", with a space on either side.
    static QString CellCaption(const QString &fileName);

    // A release on the grid (viewport pixels); Enter; the double-click timer's tick.
    void GridReleased(const QPoint &pos);
    void TakeCurrent();
    void DblClickTimerFired();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void ReadFiles();
    void Relayout();
    void DrawCell(QPainter &p, int col, int row, const QRect &cell, bool selected);
    QString CurrentFile() const;
    void SaveState();

    std::unique_ptr<Ui::EMFGridForm> ui_;
    QTimer dblClickTimer_;
    QCache<QString, QImage> thumbnails_;
    bool stateSaved_ = false;
};
