#include "shell/ContextModules.h"

#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

IContextSelection::~IContextSelection() = default;

namespace {

class TEmptySelection final : public IContextSelection {
public:
    int CurrentItemType() const override { return -1; }
    int SelectedCount() const override { return 0; }
    TItemTypeSet SelectedTypes() const override { return {}; }
    TAbstractItem *CurrentItem() const override { return nullptr; }
};

struct TFramework {
    std::vector<TContextModuleClass> Classes;
    std::vector<TContextDataModule *> Live;
    const IContextSelection *Selection = nullptr;
};

TFramework &Framework() {
    static TFramework framework;
    return framework;
}

const TContextModuleClass *FindClass(const QString &name) {
    for (const TContextModuleClass &c : Framework().Classes)
        if (c.ClassName == name)
            return &c;
    return nullptr;
}

void Unlist(TContextDataModule *module) {
    std::erase(Framework().Live, module);
}

} // namespace

TContextDataModule::TContextDataModule(QObject *parent) : TQk2RootDatamodule(parent) {
    Framework().Live.push_back(this);
}

TContextDataModule::~TContextDataModule() {
    Unlist(this);
}

bool TContextDataModule::CheckContext(const IContextSelection &) {
    return false;
}

QString TContextDataModule::ContextClassName() const {
    return className_.isEmpty() ? QString::fromLatin1(metaObject()->className()) : className_;
}

void TContextDataModule::Retire() {
    for (TFloatingAction *action : findChildren<TFloatingAction *>())
        action->Detach();
    for (TInfoStringAction *action : findChildren<TInfoStringAction *>())
        action->Detach();
}

void RegisterContextModule(TContextModuleClass moduleClass) {
    auto &classes = Framework().Classes;
    for (TContextModuleClass &c : classes)
        if (c.ClassName == moduleClass.ClassName) {
            c = std::move(moduleClass);
            return;
        }
    classes.push_back(std::move(moduleClass));
}

void UnregisterContextModule(const QString &className) {
    std::erase_if(Framework().Classes,
                  [&](const TContextModuleClass &c) { return c.ClassName == className; });
}

std::vector<QString> RegisteredContextModules() {
    std::vector<QString> names;
    for (const TContextModuleClass &c : Framework().Classes)
        names.push_back(c.ClassName);
    return names;
}

bool ContextModuleExists(const QString &className) {
    const auto &live = Framework().Live;
    return std::any_of(live.begin(), live.end(), [&](const TContextDataModule *m) {
        return !m->IsRetired() && m->ContextClassName() == className;
    });
}

std::vector<TContextDataModule *> LiveContextModules() {
    return Framework().Live;
}

void SetContextSelection(const IContextSelection *selection) {
    Framework().Selection = selection;
}

const IContextSelection &ContextSelection() {
    static const TEmptySelection empty;
    const IContextSelection *s = Framework().Selection;
    return s != nullptr ? *s : empty;
}

TAbstractItem *ContextCurrentItem() {
    return ContextSelection().CurrentItem();
}

void TContextDataModule::RetireNow(TContextDataModule *module) {
    Unlist(module);
    module->retired_ = true;
    module->Retire();
    module->deleteLater();
}

void UpdateContextModules() {
    const IContextSelection &selection = ContextSelection();
    // Newest first. A module's Retire may free others, so each is looked up again before it is judged.
    const std::vector<TContextDataModule *> snapshot = Framework().Live;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        TContextDataModule *module = *it;
        const auto &live = Framework().Live;
        if (std::find(live.begin(), live.end(), module) == live.end())
            continue;
        const TContextModuleClass *cls = FindClass(module->ContextClassName());
        if (cls == nullptr || !cls->CheckContext || !cls->CheckContext(selection))
            TContextDataModule::RetireNow(module);
    }
    // Registration order; a module's constructor may register or unregister classes, so the list is
    // copied first.
    const std::vector<TContextModuleClass> classes = Framework().Classes;
    for (const TContextModuleClass &cls : classes) {
        if (!cls.CheckContext || !cls.Create || ContextModuleExists(cls.ClassName) ||
            !cls.CheckContext(selection))
            continue;
        TContextDataModule *module = cls.Create(QCoreApplication::instance());
        module->className_ = cls.ClassName;
    }
}

void FreeContextModules() {
    const std::vector<TContextDataModule *> snapshot = Framework().Live;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it)
        TContextDataModule::RetireNow(*it);
}
