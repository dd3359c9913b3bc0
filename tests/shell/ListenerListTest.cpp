#include "shell/ListenerList.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

struct Listener {
    std::string name;
    TListenerList<> *list = nullptr;
    Listener *victim = nullptr;
    void Update() { calls.push_back(name); }
    void Other() { calls.push_back(name + ".other"); }
    void RemoveVictim() {
        calls.push_back(name);
        list->Remove(victim, &Listener::Update);
    }
    void RemoveSelf() {
        calls.push_back(name);
        list->Remove(this, &Listener::RemoveSelf);
    }
    void AddVictim() {
        calls.push_back(name);
        list->Add(victim, &Listener::Update);
    }
};

class QListener : public QObject {
public:
    void Update() { calls.push_back("q"); }
};

class ListenerLists : public testing::Test {
protected:
    void SetUp() override { calls.clear(); }
};

} // namespace

TEST_F(ListenerLists, IdentityIsObjectAndMethod) {
    TListenerList<> list;
    Listener a{"a"}, b{"b"};
    const auto ta = list.Add(&a, &Listener::Update);
    list.Add(&b, &Listener::Update);
    EXPECT_EQ(list.Add(&a, &Listener::Update), ta); // the same registration again
    list.Add(&a, &Listener::Other);                 // another method of the same object
    list.Call();
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "a.other"}));

    // Removing b's registration leaves a's registration of the same method alone.
    calls.clear();
    EXPECT_TRUE(list.Remove(&b, &Listener::Update));
    EXPECT_FALSE(list.Remove(&b, &Listener::Update));
    list.Call();
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "a.other"}));

    calls.clear();
    EXPECT_EQ(list.RemoveObject(&a), 2);
    list.Call();
    EXPECT_TRUE(calls.empty());
}

TEST_F(ListenerLists, TokensIdentifyFunctionRegistrations) {
    TListenerList<int> list;
    std::vector<int> got;
    const auto t1 = list.Add([&](int v) { got.push_back(v); });
    const auto t2 = list.Add([&](int v) { got.push_back(10 * v); });
    EXPECT_NE(t1, t2);
    list.Call(2);
    EXPECT_TRUE(list.Remove(t1));
    list.Call(3);
    EXPECT_EQ(got, (std::vector<int>{2, 20, 30}));
}

TEST_F(ListenerLists, ChangesDuringAPass) {
    struct Case {
        const char *name;
        void (Listener::*first)();
        std::vector<std::string> firstPass, secondPass;
    };
    // a runs first and changes the list; b is the one it removes or adds.
    const Case cases[] = {
        {"removing a later listener skips it in this pass", &Listener::RemoveVictim, {"a"}, {"a"}},
        {"removing itself lets the others run", &Listener::RemoveSelf, {"a", "b"}, {"b"}},
    };
    for (const Case &c : cases) {
        calls.clear();
        TListenerList<> list;
        Listener b{"b"};
        Listener a{"a", &list, &b};
        list.Add(&a, c.first);
        list.Add(&b, &Listener::Update);
        list.Call();
        EXPECT_EQ(calls, c.firstPass) << c.name;
        calls.clear();
        list.Call();
        EXPECT_EQ(calls, c.secondPass) << c.name;
    }

    // One added during a pass waits for the next pass.
    calls.clear();
    TListenerList<> list;
    Listener b{"b"};
    Listener a{"a", &list, &b};
    list.Add(&a, &Listener::AddVictim);
    list.Call();
    EXPECT_EQ(calls, (std::vector<std::string>{"a"}));
    calls.clear();
    list.Call();
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b"}));
}

TEST_F(ListenerLists, NestedPassesCallEachRegistrationOncePerPass) {
    TListenerList<> list;
    int depth = 0, outer = 0, inner = 0;
    list.Add([&] {
        ++outer;
        if (depth++ == 0)
            list.Call();
    });
    list.Add([&] { ++inner; });
    list.Call();
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(inner, 2);
}

TEST_F(ListenerLists, DestroyedQObjectsDropOut) {
    TListenerList<> list;
    auto q = std::make_unique<QListener>();
    list.Add(q.get(), &QListener::Update);
    list.Call();
    q.reset();
    list.Call();
    EXPECT_EQ(calls, (std::vector<std::string>{"q"}));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ListenerLists, ReferenceArgumentsReachEveryListener) {
    // Key listeners may change the key for the ones after them.
    TListenerList<int &> list;
    std::vector<int> seen;
    list.Add([&](int &key) {
        seen.push_back(key);
        key = 0;
    });
    list.Add([&](int &key) { seen.push_back(key); });
    int key = 81;
    list.Call(key);
    EXPECT_EQ(seen, (std::vector<int>{81, 0}));
    EXPECT_EQ(key, 0);
}
