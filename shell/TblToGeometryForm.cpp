#include "shell/TblToGeometryForm.h"

#include "engine/NumText.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "shell/TablePreviewForm.h"
#include "shell/UserPrompts.h"
#include "ui_TblToGeometryForm.h"

#include <QTableWidget>

#include <cmath>
#include <functional>
#include <vector>

std::function<TStreetStructure *()> TTblToGeometryForm::CurrentStreet;
std::function<void()> TTblToGeometryForm::Refresh;

namespace {

QPointer<TTblToGeometryForm> &InstanceSlot() {
    static QPointer<TTblToGeometryForm> form;
    return form;
}

} // namespace

TTblToGeometryForm::TTblToGeometryForm(QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TblToGeometryForm>()) {
    ui_->setupUi(this);
    connect(ui_->DoSB, &QPushButton::clicked, this, [this] { Do(); });
}

TTblToGeometryForm::~TTblToGeometryForm() = default;

TTblToGeometryForm &TTblToGeometryForm::Instance() {
    if (!InstanceSlot()) {
        auto *form = new TTblToGeometryForm();
        form->setAttribute(Qt::WA_DeleteOnClose);
        InstanceSlot() = form;
    }
    return *InstanceSlot();
}

void TTblToGeometryForm::SetTable(TTablePreviewForm *table) {
    TTblToGeometryForm &form = Instance();
    form.Attach(table);
    form.exec();
}

void TTblToGeometryForm::Attach(TTablePreviewForm *table) {
    table_ = table;
    ui_->XColumnCombo->clear();
    ui_->YColumnCombo->clear();
    if (table == nullptr)
        return;
    QTableWidget *grid = table->Grid();
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem *h = grid->horizontalHeaderItem(c);
        const QString name = h != nullptr ? h->text() : QString();
        ui_->XColumnCombo->addItem(name);
        ui_->YColumnCombo->addItem(name);
    }
}

void TTblToGeometryForm::SetColumns(int x, int y, bool scaled) {
    ui_->XColumnCombo->setCurrentIndex(x);
    ui_->YColumnCombo->setCurrentIndex(y);
    ui_->YScaleCheck->setChecked(scaled);
}

TAbstractItem *TTblToGeometryForm::Do() {
    TStreetStructure *street = CurrentStreet ? CurrentStreet() : nullptr;
    if (!table_ || street == nullptr)
        return nullptr;
    QTableWidget *grid = table_->Grid();
    const int xc = ui_->XColumnCombo->currentIndex(), yc = ui_->YColumnCombo->currentIndex();
    const double scale = ui_->YScaleCheck->isChecked() ? 10 : 1;
    auto number = [&](int row, int column, double &out) {
        const QTableWidgetItem *cell = column >= 0 ? grid->item(row, column) : nullptr;
        const std::string text = cell != nullptr ? cell->text().trimmed().toStdString() : std::string();
        if (TryStrToFloat(text, out) && std::isfinite(out))
            return true;
        const QTableWidgetItem *h = column >= 0 ? grid->horizontalHeaderItem(column) : nullptr;
        UserPrompts().ShowMessage(TPromptKind::Error,
                                  QStringLiteral("Строка %1, колонка \"%2\": не число.")
                                      .arg(row + 1)
                                      .arg(h != nullptr ? h->text() : QString::number(column + 1)));
        return false;
    };
    std::vector<TXYZ> points;
    for (int r = 0; r < grid->rowCount(); ++r) {
        double x = 0, y = 0;
        if (!number(r, xc, x) || !number(r, yc, y))
            return nullptr;
        y *= scale;
        if (!std::isfinite(float(x)) || !std::isfinite(float(y))) {
            UserPrompts().ShowMessage(
                TPromptKind::Error, QStringLiteral("Строка %1: число вне допустимого диапазона.").arg(r + 1));
            return nullptr;
        }
        points.push_back({float(x), float(y), 0});
    }
    if (points.size() < 2) {
        UserPrompts().ShowMessage(TPromptKind::Error,
                                  QStringLiteral("Для линии нужно не меньше двух строк."));
        return nullptr;
    }
    TItemList &lines = street->Lists(DesignLineTypeCode);
    if (lines.ItemClass() == nullptr)
        return nullptr;
    TAbstractItem *line = lines.AddNew();
    for (const TXYZ &p : points)
        line->Points.InsertNewPoint(line->Points.Count(), p);
    if (Refresh)
        Refresh();
    return line;
}
