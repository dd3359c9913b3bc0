#include "shell/InfoGrid.h"

#include "shell/ImageData.h"
#include "shell/InfoStringActions.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

class TInfoGridDelegate : public QStyledItemDelegate {
public:
    explicit TInfoGridDelegate(TInfoGrid *grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        const QRect r = option.rect;
        const TInfoGrid::TCell *cell = grid_->Cell(index.row(), index.column());
        if (cell == nullptr || cell->Action.isNull()) {
            p->fillRect(r, grid_->palette().color(QPalette::Base));
        } else {
            p->fillRect(r, cell->Back);
            int textLeft = 3;
            if (!cell->Image.isNull()) {
                p->drawPixmap(r.left() + 1, r.top() + 1, cell->Image);
                textLeft = 21;
            }
            p->setPen(cell->Fore);
            p->drawText(r.adjusted(textLeft, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                        cell->Text);
        }
        p->setPen(grid_->palette().color(QPalette::Button));
        p->drawRect(r.adjusted(0, 0, -1, -1));
    }

private:
    TInfoGrid *grid_;
};

TInfoGrid::TInfoGrid(QWidget *parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("InfoGrid"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    verticalHeader()->setMinimumSectionSize(RowHeight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::NoFocus);
    setItemDelegate(new TInfoGridDelegate(this));
    setEnabled(false);
    setColumnCount(1);
}

std::vector<TInfoGrid::TCell> TInfoGrid::CollectLines() {
    std::vector<TCell> lines;
    for (TInfoStringAction *a : TInfoStringAction::All()) {
        if (!a->isVisible() || !a->IsValid() || !a->GetShown())
            continue;
        TCell cell;
        cell.Text = a->text() + QStringLiteral(" = ") + a->GetInfo();
        cell.Back = a->BackColor;
        cell.Fore = a->TextColor;
        cell.Action = a;
        if (!a->icon().isNull())
            cell.Image = a->icon().pixmap(16, 16);
        else if (a->OnClick)
            cell.Image = ImageData().InfoImageList.Image(0);
        lines.push_back(std::move(cell));
    }
    return lines;
}

void TInfoGrid::Rebuild(const std::vector<TCell> &lines) {
    const int width = viewport()->width();
    columns_ = width > DefaultColumnWidth ? width / DefaultColumnWidth : 1;
    const int count = static_cast<int>(lines.size());
    const int rows = count == 0 ? 0 : (count - 1) / columns_ + 1;
    cells_ = lines;
    if (columnCount() != columns_)
        setColumnCount(columns_);
    if (rowCount() != rows)
        setRowCount(rows);
    viewport()->update();
}

const TInfoGrid::TCell *TInfoGrid::Cell(int row, int column) const {
    if (row < 0 || column < 0 || column >= columns_)
        return nullptr;
    const std::size_t i = static_cast<std::size_t>(row) * columns_ + column;
    return i < cells_.size() ? &cells_[i] : nullptr;
}

void TInfoGrid::TimerTick() {
    const QPoint pos = mapFromGlobal(QCursor::pos());
    const bool over = rect().contains(pos) && isVisible();
    if (over != isEnabled())
        setEnabled(over);
    if (!over)
        return;
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(QCursor::pos()));
    const TCell *cell = Cell(index.row(), index.column());
    const QString hint = cell != nullptr && cell->Action ? cell->Action->GetInfo() : QString();
    if (toolTip() != hint)
        setToolTip(hint);
}

void TInfoGrid::mousePressEvent(QMouseEvent *event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    setCurrentCell(index.row(), index.column());
    const TCell *cell = Cell(index.row(), index.column());
    if (event->button() == Qt::LeftButton && cell != nullptr && cell->Action) {
        QPointer<TInfoStringAction> action = cell->Action;
        action->DoClick();
    }
}

void TInfoGrid::keyPressEvent(QKeyEvent *event) {
    event->accept();
}

void TInfoGrid::keyReleaseEvent(QKeyEvent *event) {
    event->accept();
}

void TInfoGrid::contextMenuEvent(QContextMenuEvent *event) {
    const TCell *cell = Cell(currentRow(), currentColumn());
    if (cell == nullptr || !cell->Action)
        return;
    QPointer<TInfoStringAction> action = cell->Action;
    QMenu menu(this);
    QAction *copy = menu.addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("GridCopyMI"));
    if (menu.exec(event->globalPos()) == copy && action)
        QApplication::clipboard()->setText(action->GetInfo());
}

void TInfoGrid::paintEvent(QPaintEvent *event) {
    if (PaintBlocked && PaintBlocked())
        return;
    QTableWidget::paintEvent(event);
}
