#include "shell/EMFGridForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "shell/FormPlacement.h"
#include "shell/UserPrompts.h"
#include "ui_EMFGridForm.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

IPictureThumbnails::~IPictureThumbnails() = default;

namespace {

IPictureThumbnails *&Provider() {
    static IPictureThumbnails *provider = nullptr;
    return provider;
}

const Cp1251String Section("EMFGridForm");
constexpr int SmallCell = 64, LargeCell = 128;
constexpr int ClickDistance = 5;
// Thumbnails kept for repainting, in kilobytes.
constexpr int ThumbnailCacheKb = 64 * 1024;

std::vector<Cp1251String> ToCp(const QStringList &list) {
    std::vector<Cp1251String> out;
    for (const QString &s : list) {
        Cp1251String c;
        if (TryFromQString(s, c))
            out.push_back(std::move(c));
    }
    return out;
}

} // namespace

void SetPictureThumbnails(IPictureThumbnails *provider) {
    Provider() = provider;
}

IPictureThumbnails *PictureThumbnails() {
    return Provider();
}

// ---- the grid

TPictureGrid::TPictureGrid(QWidget *parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

void TPictureGrid::SetLayout(int colCount, int rowCount, int cellSize) {
    cols_ = std::max(colCount, 0);
    rows_ = std::max(rowCount, 0);
    cell_ = std::max(cellSize, 1);
    col_ = std::clamp(col_, 0, std::max(cols_ - 1, 0));
    row_ = std::clamp(row_, 0, std::max(rows_ - 1, 0));
    UpdateScrollBar();
    viewport()->update();
}

void TPictureGrid::SetCurrent(int col, int row) {
    if (cols_ == 0 || rows_ == 0)
        return;
    col_ = std::clamp(col, 0, cols_ - 1);
    row_ = std::clamp(row, 0, rows_ - 1);
    // Keep the current row in view.
    QScrollBar *bar = verticalScrollBar();
    if (row_ * cell_ < bar->value())
        bar->setValue(row_ * cell_);
    else if ((row_ + 1) * cell_ > bar->value() + viewport()->height())
        bar->setValue((row_ + 1) * cell_ - viewport()->height());
    viewport()->update();
}

bool TPictureGrid::CellAt(const QPoint &pos, int &col, int &row) const {
    if (pos.x() < 0 || pos.y() < 0)
        return false;
    col = pos.x() / cell_;
    row = (pos.y() + verticalScrollBar()->value()) / cell_;
    return col < cols_ && row < rows_;
}

void TPictureGrid::UpdateScrollBar() {
    QScrollBar *bar = verticalScrollBar();
    bar->setSingleStep(cell_);
    bar->setPageStep(std::max(viewport()->height(), 1));
    bar->setRange(0, std::max(rows_ * cell_ - viewport()->height(), 0));
}

void TPictureGrid::paintEvent(QPaintEvent *) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    if (!DrawCell || cell_ <= 0)
        return;
    const int top = verticalScrollBar()->value();
    const int firstRow = top / cell_;
    const int lastRow = std::min(rows_ - 1, (top + viewport()->height()) / cell_);
    for (int row = firstRow; row <= lastRow; ++row)
        for (int col = 0; col < cols_; ++col) {
            const QRect cell(col * cell_, row * cell_ - top, cell_, cell_);
            p.save();
            p.setClipRect(cell);
            DrawCell(p, col, row, cell, col == col_ && row == row_);
            p.restore();
        }
}

void TPictureGrid::mousePressEvent(QMouseEvent *event) {
    int col = 0, row = 0;
    if (CellAt(event->position().toPoint(), col, row))
        SetCurrent(col, row);
}

void TPictureGrid::mouseReleaseEvent(QMouseEvent *event) {
    emit Released(event->position().toPoint());
}

void TPictureGrid::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Left:
        SetCurrent(col_ - 1, row_);
        break;
    case Qt::Key_Right:
        SetCurrent(col_ + 1, row_);
        break;
    case Qt::Key_Up:
        SetCurrent(col_, row_ - 1);
        break;
    case Qt::Key_Down:
        SetCurrent(col_, row_ + 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
}

void TPictureGrid::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

// ---- the form

QString TEMFGridForm::ChoosePicture(const QString &caption) {
    QString file;
    return UserPrompts().ChoosePicture(caption, file) ? file : QString();
}

TEMFGridForm::TEMFGridForm(QWidget *parent) : QDialog(parent), ui_(std::make_unique<Ui::EMFGridForm>()) {
    ui_->setupUi(this);
    thumbnails_.setMaxCost(ThumbnailCacheKb);
    dblClickTimer_.setInterval(300);
    connect(&dblClickTimer_, &QTimer::timeout, this, &TEMFGridForm::DblClickTimerFired);
    ui_->DrawGrid->DrawCell = [this](QPainter &p, int col, int row, const QRect &cell, bool selected) {
        DrawCell(p, col, row, cell, selected);
    };
    connect(ui_->DrawGrid, &TPictureGrid::Released, this, &TEMFGridForm::GridReleased);
    connect(ui_->DirBox, &QComboBox::activated, this, [this](int index) {
        SetDirectory(ui_->DirBox->itemText(index));
        ui_->DirBox->setToolTip(Directory());
    });
    connect(ui_->AddDirSB, &QToolButton::clicked, this, [this] {
        QString dir = Directory();
        if (UserPrompts().ChooseDirectory(QStringLiteral("Каталог с картинками"), dir))
            SetDirectory(dir);
    });
    connect(ui_->DelDirSB, &QToolButton::clicked, this, &TEMFGridForm::DeleteDirectory);
    connect(ui_->LoadEMFSB, &QToolButton::clicked, this, [this] {
        TFileDialogRequest request;
        request.Filter = QStringLiteral("*.emf|*.emf");
        request.DefaultExt = QStringLiteral("emf");
        QStringList files;
        if (UserPrompts().ChooseFiles(request, files) && !files.isEmpty()) {
            SelectedFile = files.front();
            done(1);
        }
    });
    connect(ui_->SmallGridSB, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            SetLargeCells(false);
    });
    connect(ui_->LargeGridSB, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            SetLargeCells(true);
    });

    RestoreWidgetPos(this, true);
    std::vector<Cp1251String> dirs;
    RegReadStrings(Section, Cp1251String("DirList"), dirs);
    for (const Cp1251String &d : dirs)
        if (!d.Empty())
            ui_->DirBox->addItem(ToQString(d));
    ui_->DirBox->setCurrentIndex(-1);
    SetDirectory(ToQString(RegReadString(Section, Cp1251String("LastDir"))));
}

TEMFGridForm::~TEMFGridForm() {
    SaveState();
}

void TEMFGridForm::SaveState() {
    if (stateSaved_)
        return;
    stateSaved_ = true;
    try {
        Cp1251String last;
        TryFromQString(Directory(), last);
        RegWriteString(Section, Cp1251String("LastDir"), last);
        RegWriteStrings(Section, Cp1251String("DirList"), ToCp(Directories()));
        SaveWidgetPos(this, true);
    } catch (const std::exception &) {
        // The folder list is lost, nothing else.
    }
}

void TEMFGridForm::done(int result) {
    SaveState();
    QDialog::done(result);
}

QString TEMFGridForm::Directory() const {
    return ui_->DirBox->currentIndex() < 0 ? QString() : ui_->DirBox->currentText();
}

QStringList TEMFGridForm::Directories() const {
    QStringList dirs;
    for (int i = 0; i < ui_->DirBox->count(); ++i)
        dirs += ui_->DirBox->itemText(i);
    return dirs;
}

TPictureGrid *TEMFGridForm::Grid() const {
    return ui_->DrawGrid;
}

void TEMFGridForm::SetDirectory(const QString &dir) {
    if (!dir.isEmpty()) {
        int index = ui_->DirBox->findText(dir);
        if (index < 0) {
            ui_->DirBox->addItem(dir);
            index = ui_->DirBox->count() - 1;
        }
        ui_->DirBox->setCurrentIndex(index);
        if (!QFileInfo(dir).isDir()) {
            const QString question =
                QStringLiteral("Каталог \"") + dir + QStringLiteral("\" недоступен.\nУдалить из списка ?");
            if (UserPrompts().Ask(TPromptKind::Warning, question, TPromptButtons::YesNo) ==
                TPromptAnswer::Yes) {
                ui_->DirBox->removeItem(index);
                ui_->DirBox->setCurrentIndex(-1);
            }
        }
    }
    ReadFiles();
    Relayout();
}

void TEMFGridForm::DeleteDirectory() {
    const int index = ui_->DirBox->currentIndex();
    if (index < 0)
        return;
    ui_->DirBox->removeItem(index);
    const int next = ui_->DirBox->count() == 0 ? -1 : std::max(index - 1, 0);
    ui_->DirBox->setCurrentIndex(next);
    SetDirectory(Directory());
    ui_->DirBox->setToolTip(Directory());
}

void TEMFGridForm::ReadFiles() {
    Files.clear();
    thumbnails_.clear();
    const QString dir = Directory();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return;
    const QDir d(dir);
    for (const char *pattern : {"*.emf", "*.wmf"})
        Files += d.entryList({QString::fromLatin1(pattern)}, QDir::Files | QDir::Hidden, QDir::NoSort);
    std::sort(Files.begin(), Files.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

void TEMFGridForm::SetLargeCells(bool large) {
    ui_->LargeGridSB->setChecked(large);
    ui_->SmallGridSB->setChecked(!large);
    Relayout();
}

int TEMFGridForm::ColumnCount(int clientWidth, int cellSize) {
    return cellSize > 0 ? std::max((clientWidth - 20) / cellSize, 1) : 1;
}

int TEMFGridForm::RowCount(int fileCount, int columns) {
    return fileCount <= 0 || columns <= 0 ? 0 : (fileCount - 1) / columns + 1;
}

void TEMFGridForm::Relayout() {
    const int cell = ui_->LargeGridSB->isChecked() ? LargeCell : SmallCell;
    const int cols = ColumnCount(ui_->DrawGrid->width(), cell);
    ui_->DrawGrid->SetLayout(cols, RowCount(static_cast<int>(Files.size()), cols), cell);
}

void TEMFGridForm::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    Relayout();
}

QString TEMFGridForm::CellCaption(const QString &fileName) {
    const qsizetype dot = fileName.indexOf(u'.');
    return u' ' + (dot < 0 ? fileName : fileName.left(dot)) + u' ';
}

QRect TEMFGridForm::PictureRect(const QRect &cell, const QSize &picture) {
    const QRect r = cell.adjusted(1, 1, -1, -1);
    int hw = picture.width() / 2, hh = picture.height() / 2;
    // A picture less than 2 units wide or high has no half size to scale by: it is not drawn.
    if (hw <= 0 || hh <= 0 || r.height() <= 16)
        return {};
    const int cx = r.left() + r.width() / 2;
    const int cy = r.top() + r.height() / 2 - 8;
    const double scale = std::min(double(r.width()) / hw / 2, double(r.height() - 16) / hh / 2);
    hw = static_cast<int>(Round(hw * scale)) - 1;
    hh = static_cast<int>(Round(hh * scale)) - 1;
    if (hw <= 0 || hh <= 0)
        return {};
    return QRect(cx - hw, cy - hh, 2 * hw, 2 * hh);
}

void TEMFGridForm::DrawCell(QPainter &p, int col, int row, const QRect &cell, bool selected) {
    const qsizetype index = qsizetype(row) * ui_->DrawGrid->ColCount() + col;
    if (index < 0 || index >= Files.size())
        return;
    const QString path = QDir(Directory()).filePath(Files[index]);
    if (!QFileInfo::exists(path))
        return; // vanished after listing: a blank cell
    const QRect r = cell.adjusted(1, 1, -1, -1);
    if (selected)
        p.fillRect(r, palette().color(QPalette::Highlight));
    else {
        p.setPen(palette().color(QPalette::Button));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    QImage *image = thumbnails_.object(path);
    if (image == nullptr && Provider() != nullptr) {
        auto loaded = std::make_unique<QImage>(Provider()->Thumbnail(path));
        const int cost = std::max(1, static_cast<int>(loaded->sizeInBytes() / 1024));
        image = loaded.get();
        if (!thumbnails_.insert(path, loaded.release(), cost))
            image = nullptr;
    }
    const int centreX = r.left() + r.width() / 2;
    if (image != nullptr && !image->isNull()) {
        const QRect target = PictureRect(cell, image->size());
        if (!target.isEmpty()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(target, *image);
        }
    }
    const QString caption = CellCaption(Files[index]);
    const QFontMetrics fm(p.font());
    const int w = fm.horizontalAdvance(caption);
    const int left = std::max(r.left(), centreX - w / 2);
    const QRect textRect(left, r.bottom() - 1 - fm.height(), w, fm.height());
    p.fillRect(textRect, Qt::white);
    p.setPen(Qt::black);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption);
}

QString TEMFGridForm::CurrentFile() const {
    const TPictureGrid *g = ui_->DrawGrid;
    const qsizetype index = qsizetype(g->Row()) * g->ColCount() + g->Col();
    if (g->ColCount() <= 0 || index < 0 || index >= Files.size())
        return {};
    return QDir(Directory()).filePath(Files[index]);
}

void TEMFGridForm::GridReleased(const QPoint &pos) {
    const bool second = (pos - LastClick).manhattanLength() < ClickDistance;
    LastClick = pos;
    dblClickTimer_.start();
    if (second)
        TakeCurrent();
}

void TEMFGridForm::TakeCurrent() {
    SelectedFile = CurrentFile();
    done(1);
}

void TEMFGridForm::DblClickTimerFired() {
    LastClick = QPoint(-10000, -10000);
}

void TEMFGridForm::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        TakeCurrent();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        SelectedFile.clear();
        done(0);
        return;
    }
    QDialog::keyPressEvent(event);
}
