#pragma once
// Editor modules come and go with the selection. Each editor unit registers its module class at start-up;
// every refresh (UpdateContextModules) frees the live modules whose class no longer applies to the
// selection and creates one module of every registered class that now applies, so at most one module of a
// class lives and its floating actions and info lines are there exactly while it applies.
//
// The framework knows the selection only through IContextSelection; the main window registers the real
// one. Modules leave the live list at once when they no longer apply, drop their actions and info lines
// from the panel and the grid, and are deleted later (deleteLater): the refresh may run inside one of
// their own handlers.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "model/ItemTypes.h"
#endif
#include "shell/Qk2Root.h"

#include <QString>

#include <functional>
#include <vector>

class TAbstractItem;

// What editor modules ask of the selection to decide whether they apply.
class IContextSelection {
public:
    virtual ~IContextSelection();
    // Type code of the current (focused) item; -1 when nothing is selected.
    virtual int CurrentItemType() const = 0;
    virtual int SelectedCount() const = 0;
    // Types of all selected items.
    virtual TItemTypeSet SelectedTypes() const = 0;
    // The current item itself, for the modules that edit it; nullptr when none.
    virtual TAbstractItem *CurrentItem() const = 0;
};

// The base of editor modules. A module class adds a static CheckContext (the class applies to the
// selection) and is registered with RegisterContextModule<TMyModule>().
class TContextDataModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    // Joins the live modules.
    explicit TContextDataModule(QObject *parent = nullptr);
    // Leaves the live modules (when still there).
    ~TContextDataModule() override;

    // The base applies to nothing.
    static bool CheckContext(const IContextSelection &selection);

    // The registered class name the module was made for (its meta-object class name when made elsewhere).
    QString ContextClassName() const;
    // It no longer applies and waits for deletion.
    bool IsRetired() const { return retired_; }

    // Called when the module stops applying, just before deleteLater: the base hides its floating actions
    // and info lines and takes them off the panel and the grid at once.
    virtual void Retire();

private:
    friend void UpdateContextModules();
    friend void FreeContextModules();
    // Leaves the live list, drops its actions and lines, and is deleted later.
    static void RetireNow(TContextDataModule *module);
    QString className_;
    bool retired_ = false;
};

struct TContextModuleClass {
    QString ClassName;
    std::function<bool(const IContextSelection &)> CheckContext;
    // Makes a module owned by the given parent.
    std::function<TContextDataModule *(QObject *)> Create;
};

template <class TModule> TContextModuleClass ContextModuleClassOf() {
    static_assert(std::is_base_of_v<TContextDataModule, TModule>);
    return {QString::fromLatin1(TModule::staticMetaObject.className()), &TModule::CheckContext,
            [](QObject *parent) -> TContextDataModule * { return new TModule(parent); }};
}

// Registration keeps the order; a class name registered again replaces the earlier entry in its place.
void RegisterContextModule(TContextModuleClass moduleClass);
template <class TModule> void RegisterContextModule() {
    RegisterContextModule(ContextModuleClassOf<TModule>());
}
void UnregisterContextModule(const QString &className);
std::vector<QString> RegisteredContextModules();

// A live (not retired) module of that class exists.
bool ContextModuleExists(const QString &className);
// Live modules in creation order.
std::vector<TContextDataModule *> LiveContextModules();

// The selection the modules see: the registered one, else an empty selection. The caller keeps the
// object alive while it is registered; nullptr unregisters it.
void SetContextSelection(const IContextSelection *selection);
const IContextSelection &ContextSelection();
// The selection's current item (nullptr when none).
TAbstractItem *ContextCurrentItem();

// Frees the modules that no longer apply (newest first), then creates the missing ones (registration
// order). An error raised by a class's CheckContext propagates; the modules handled before it stay
// handled and the lists stay consistent.
void UpdateContextModules();
// Retires every live module (at the end of the program, or of a test).
void FreeContextModules();
