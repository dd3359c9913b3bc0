#include "shell/StartUp.h"

#include "shell/ContextModules.h"
#include "shell/Cursors.h"
#include "shell/ImageData.h"
#include "shell/MainForm.h"
#include "shell/MainPlanCtrl.h"
#include "shell/StreetPlanApplication.h"
#include "shell/StreetsHolder.h"
#include "shell/SyncForm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>

#include <map>

namespace {

struct TRegistrations {
    std::multimap<TStartUpSlot, TStartUpFactory> Objects;
    std::vector<std::pair<QString, TCommandLineOpener>> Openers;
};

TRegistrations &Registrations() {
    static TRegistrations r;
    return r;
}

// Runs the action once, from the event loop, after the watched window is first shown: a dialog asked then
// stands over the window instead of before it.
class TFirstShow : public QObject {
public:
    TFirstShow(QWidget &window, std::function<void()> action) : window_(window), action_(std::move(action)) {
        window_.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            QTimer::singleShot(0, &window_, action_);
        }
        return false;
    }

private:
    QWidget &window_;
    std::function<void()> action_;
};

} // namespace

void RegisterStartUpObject(TStartUpSlot slot, TStartUpFactory factory) {
    Registrations().Objects.emplace(slot, std::move(factory));
}

void RegisterCommandLineOpener(const QString &extension, TCommandLineOpener opener) {
    Registrations().Openers.emplace_back(extension, std::move(opener));
}

void ClearStartUpRegistrations() {
    Registrations() = {};
}

TStartUp::TStartUp() {
    mainForm_ = std::make_unique<TMainForm>(StreetsHolder());
    MakeSlot(TStartUpSlot::Fonts);
    ImageData();
    CursorsData();
    auto controls = std::make_unique<TMainPlanControls>(*mainForm_);
    planControls_ = controls.get();
    objects_.push_back(std::move(controls));
    for (TStartUpSlot slot :
         {TStartUpSlot::VideoControls, TStartUpSlot::ItemsControl, TStartUpSlot::PointEditor,
          TStartUpSlot::CustomEditors, TStartUpSlot::ContourCoords})
        MakeSlot(slot);
    auto sync = std::make_unique<TZorvan2SyncForm>(*mainForm_);
    syncForm_ = sync.get();
    objects_.push_back(std::move(sync));
    mainForm_->UpdateMenuBar();
    mainForm_->RefreshAll();
    objects_.push_back(std::make_unique<TFirstShow>(*mainForm_, [this] {
        TStreetPlanApplication::CallGuarded([this] {
            OfferAutoSavedStreets();
            return true;
        });
    }));
}

TStartUp::~TStartUp() {
    while (!objects_.empty())
        objects_.pop_back();
    FreeContextModules();
    mainForm_.reset();
    FreeStreetsHolder();
}

void TStartUp::MakeSlot(TStartUpSlot slot) {
    const auto [first, last] = Registrations().Objects.equal_range(slot);
    for (auto it = first; it != last; ++it)
        if (std::unique_ptr<QObject> object = it->second(*mainForm_))
            objects_.push_back(std::move(object));
}

void TStartUp::ProcessCommandLine(const QStringList &arguments) {
    // A file that cannot be opened is reported and the others still open: start-up goes on.
    for (const QString &argument : arguments)
        TStreetPlanApplication::CallGuarded([&] {
            OpenCommandLineFile(argument);
            return true;
        });
}

void TStartUp::OpenCommandLineFile(const QString &argument) {
    TMainForm &form = *mainForm_;
    TStreetsHolderModule &holder = form.Holder();
    if (!QFileInfo(argument).isFile())
        return;
    if (argument.endsWith(QStringLiteral(".zrv"), Qt::CaseInsensitive)) {
        form.CurrentStreet();
        const int index = holder.OpenFiles({argument});
        if (index < 0)
            return;
        holder.SetActiveIndex(index);
        holder.DropEmptyStreets();
        form.ShowPlan();
        form.MainPlanDrawer().ShowAll();
        form.RefreshAll();
        return;
    }
    for (const auto &[extension, opener] : Registrations().Openers)
        if (argument.endsWith(extension, Qt::CaseInsensitive)) {
            opener(form, argument);
            return;
        }
}

void TStartUp::OfferAutoSavedStreets() {
    TMainForm &form = *mainForm_;
    TStreetsHolderModule &holder = form.Holder();
    const int index = holder.OfferLeftAutoSaves();
    if (index < 0)
        return;
    holder.SetActiveIndex(index);
    holder.DropEmptyStreets();
    // The street comes back with the view it was left with.
    form.ShowPlan();
    form.RefreshAll();
}
