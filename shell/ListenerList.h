#pragma once
// Lists of listeners (draw, update, key, ...). A registration is identified by its object and method, or
// by the token Add returns: two objects registering the same method are two registrations, and registering
// an object's method again changes nothing, so every registration is called once per pass.
//
// A pass calls the registrations present when it starts, in the order they were added, skipping any that
// is removed meanwhile: a listener may remove itself or any other while it runs. Registrations added
// during a pass wait for the next one. Passes may nest (a listener that starts another pass).
//
// A listener object that is a QObject drops out by itself when it is destroyed; any other object must
// remove its registrations before it dies.
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <vector>

template <class... Args> class TListenerList {
public:
    using TToken = uint64_t;
    using TFunction = std::function<void(Args...)>;

    // A registration known by its token only.
    TToken Add(TFunction fn) { return Append(std::move(fn), TMethodKey{}); }

    // The object's method; an object and method already registered keep their place and token.
    template <class T> TToken Add(T *object, void (T::*method)(Args...)) {
        Purge();
        const TMethodKey key = KeyOf(object, method);
        for (const auto &e : entries_)
            if (e->Key == key)
                return e->Token;
        const TToken token = Append([object, method](Args... args) { (object->*method)(args...); }, key);
        if constexpr (std::is_base_of_v<QObject, T>) {
            entries_.back()->Guarded = true;
            entries_.back()->Guard = static_cast<QObject *>(object);
        }
        return token;
    }

    bool Remove(TToken token) {
        return Erase([token](const TEntry &e) { return e.Token == token; }) > 0;
    }
    template <class T> bool Remove(T *object, void (T::*method)(Args...)) {
        const TMethodKey key = KeyOf(object, method);
        return Erase([&key](const TEntry &e) { return e.Key == key; }) > 0;
    }
    // Every registration of the object's methods; returns how many there were.
    int RemoveObject(const void *object) {
        if (object == nullptr)
            return 0;
        return Erase([object](const TEntry &e) { return e.Key.Object == object; });
    }

    void Call(Args... args) {
        Purge();
        const std::vector<std::shared_ptr<TEntry>> pass = entries_;
        for (const auto &e : pass) {
            if (!e->Live || (e->Guarded && e->Guard.isNull()))
                continue;
            // The pass holds the entry, so a listener that removes itself runs to its end.
            e->Fn(args...);
        }
        Purge();
    }

    int Count() {
        Purge();
        return static_cast<int>(entries_.size());
    }
    bool Contains(TToken token) const {
        return std::any_of(entries_.begin(), entries_.end(),
                           [token](const auto &e) { return e->Token == token && e->Live; });
    }

private:
    // Identity of a method registration: the object, the type of the member pointer and its bytes.
    struct TMethodKey {
        const void *Object = nullptr;
        const std::type_info *Type = nullptr;
        std::array<unsigned char, 4 * sizeof(void *)> Bytes{};
        bool operator==(const TMethodKey &o) const {
            return Type != nullptr && o.Type != nullptr && Object == o.Object && *Type == *o.Type &&
                   Bytes == o.Bytes;
        }
    };
    struct TEntry {
        TToken Token = 0;
        TFunction Fn;
        TMethodKey Key;
        bool Live = true;
        bool Guarded = false;
        QPointer<QObject> Guard;
    };

    template <class M> static TMethodKey KeyOf(const void *object, M method) {
        static_assert(sizeof(M) <= sizeof(TMethodKey::Bytes), "member pointer too large");
        TMethodKey key;
        key.Object = object;
        key.Type = &typeid(M);
        std::memcpy(key.Bytes.data(), &method, sizeof(M));
        return key;
    }

    TToken Append(TFunction fn, TMethodKey key) {
        auto e = std::make_shared<TEntry>();
        e->Token = ++lastToken_;
        e->Fn = std::move(fn);
        e->Key = key;
        entries_.push_back(std::move(e));
        return lastToken_;
    }

    template <class Pred> int Erase(Pred pred) {
        int n = 0;
        for (auto &e : entries_)
            if (e->Live && pred(*e)) {
                e->Live = false;
                ++n;
            }
        Purge();
        return n;
    }

    // Drops removed entries and those whose QObject died.
    void Purge() {
        std::erase_if(entries_, [](const std::shared_ptr<TEntry> &e) {
            if (e->Guarded && e->Guard.isNull())
                e->Live = false;
            return !e->Live;
        });
    }

    std::vector<std::shared_ptr<TEntry>> entries_;
    TToken lastToken_ = 0;
};
