#pragma once
// The plan's end of view synchronisation: after every plan draw while the main window is active the view
// goes to the hub; views and axis positions from the hub are applied while the plan is shown (and dropped
// while it is not). Values are checked on the way in: a view's scale is held in range, an axis position
// is held on the axis.
#include "shell/ViewSyncClient.h"

#include <QObject>

class TMainForm;

class TZorvan2SyncForm : public QObject {
    Q_OBJECT
public:
    explicit TZorvan2SyncForm(TMainForm &form, const QString &socketName = SyncHubSocketName(),
                              QObject *parent = nullptr);
    ~TZorvan2SyncForm() override;

    TViewSyncClient &Client() { return client_; }
    // True when the view was applied.
    bool ApplyView(const TSyncView &view);
    // Centres the view at the distance along the main axis, the axis running along the screen there.
    bool ApplyAxisPosition(float distance);

private:
    TMainForm &form_;
    TViewSyncClient client_;
};
