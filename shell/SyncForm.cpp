#include "shell/SyncForm.h"

#include "model/AbstractItem.h"
#include "shell/MainForm.h"
#include "shell/StreetsHolder.h"

#include <algorithm>
#include <cmath>

TZorvan2SyncForm::TZorvan2SyncForm(TMainForm &form, const QString &socketName, QObject *parent)
    : QObject(parent), form_(form), client_(socketName) {
    setObjectName(QStringLiteral("Zorvan2SyncForm"));
    client_.SetActiveCheck([this] { return form_.isActiveWindow(); });
    connect(&client_, &TViewSyncClient::ViewReceived, this, [this](const TSyncView &v) { ApplyView(v); });
    connect(&client_, &TViewSyncClient::AxisPositionReceived, this,
            [this](float d) { ApplyAxisPosition(d); });
    form_.MainPlanDrawer().OnViewDrawn = [this](const TStreetView &v) {
        client_.SendViewSync({v.X, v.Y, v.Z, v.Scale, v.Angle});
    };
}

TZorvan2SyncForm::~TZorvan2SyncForm() {
    form_.MainPlanDrawer().OnViewDrawn = nullptr;
}

bool TZorvan2SyncForm::ApplyView(const TSyncView &view) {
    if (!form_.PlanShown())
        return false;
    TStreetView v;
    v.X = view.X;
    v.Y = view.Y;
    v.Z = view.Z;
    v.Scale = view.Scale;
    v.Angle = view.Angle;
    if (!form_.MainPlanDrawer().SetView(v))
        return false;
    form_.RefreshAll();
    return true;
}

bool TZorvan2SyncForm::ApplyAxisPosition(float distance) {
    if (!form_.PlanShown() || !std::isfinite(distance))
        return false;
    TAbstractItem *axis = form_.CurrentStreet().GetMainAxis();
    if (axis == nullptr)
        return false;
    TPointList &points = axis->Points;
    const float length = points.DenseLength();
    if (!(length > 0))
        return false;
    const float t = points.ParamAtDistance(std::clamp(distance, 0.0f, length));
    TMainPlanDrawer &plan = form_.MainPlanDrawer();
    if (!plan.SetCenter(points.PointAtParam(t)) || !plan.SetAngle(-points.DirectionAtParam(t)))
        return false;
    form_.RefreshAll();
    return true;
}
