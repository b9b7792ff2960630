// Components, events and string lists: the bottom of the framework.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// An event: an (object, method) pair, raised only when assigned.
template <typename... Args>
class Event {
public:
    // Binds a member handler: OnClick.Bind<&TForm1::Button1Click>(this).
    template <auto Method, typename T>
    void Bind(T* object) {
        object_ = object;
        thunk_ = [](void* o, Args... args) { (static_cast<T*>(o)->*Method)(args...); };
    }
    void Clear() {
        object_ = nullptr;
        thunk_ = nullptr;
    }
    bool Assigned() const { return thunk_ != nullptr; }
    void operator()(Args... args) const {
        if (thunk_) thunk_(object_, args...);
    }

private:
    void* object_ = nullptr;
    void (*thunk_)(void*, Args...) = nullptr;
};

using TNotifyEvent = Event<TObject*>;

enum class TOperation { opInsert, opRemove };

// A component has a name and an owner; the owner destroys what it owns, the
// most recently created first. Components that asked for it through
// FreeNotification are told when another one goes away.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    bool IsDestroying() const { return destroying_; }

    int ComponentCount() const { return int(owned_.size()); }
    TComponent* Components(int index) const;
    TComponent* FindComponent(std::string_view name) const;

    // Takes over a newly made component whose owner is this one.
    template <typename T>
    T* Adopt(std::unique_ptr<T> component) {
        T* raw = component.get();
        InsertComponent(std::move(component));
        return raw;
    }
    // Destroys an owned component now.
    void DestroyComponent(TComponent* component);

    // Sends the removal notices and destroys what this one owns while it is
    // still whole; runs again (doing nothing) from the destructor.
    void BeforeDestruction();

    // Asks to be told (Notification with opRemove) when other is destroyed.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    // Marks this component and everything it owns as being destroyed.
    void Destroying();
    // Destroys every owned component, the most recently created first.
    void DestroyComponents();

private:
    void InsertComponent(std::unique_ptr<TComponent> component);
    std::unique_ptr<TComponent> ExtractComponent(TComponent* component);
    void NotifyOwned(TComponent* component, TOperation operation);

    TComponent* owner_;
    std::string name_;
    bool destroying_ = false;
    std::vector<std::unique_ptr<TComponent>> owned_;
    std::vector<TComponent*> freeNotifies_;
};

// Makes a component owned by owner and gives back a borrowed pointer.
template <typename T, typename... A>
T* Make(TComponent* owner, A&&... args) {
    return owner->Adopt(std::make_unique<T>(owner, std::forward<A>(args)...));
}

// An ordered list of texts, each with an optional object.
class TStrings : public TObject {
public:
    virtual int Count() const = 0;
    // Text of item index; "List index out of bounds" outside 0 .. Count-1.
    virtual std::string Get(int index) const = 0;
    virtual TObject* GetObject(int index) const = 0;
    virtual void PutObject(int index, TObject* object) = 0;
    virtual void Put(int index, const std::string& text);
    // Adds a text and gives the index at which it landed.
    virtual int Add(const std::string& text);
    int AddObject(const std::string& text, TObject* object);
    virtual void Insert(int index, const std::string& text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    // Index of the first item equal to text, letter case ignored; -1 if none.
    virtual int IndexOf(const std::string& text) const;
    void Assign(const TStrings& source);
    std::vector<std::string> ToVector() const;
    std::string operator[](int index) const { return Get(index); }

    // Nested: while updating, a list on a window may suspend redrawing.
    void BeginUpdate();
    void EndUpdate();

protected:
    virtual void SetUpdateState(bool /*updating*/) {}
    [[noreturn]] static void IndexError();

private:
    int updateCount_ = 0;
};

enum class TDuplicates { dupAccept, dupIgnore };

// Strings kept in memory, optionally sorted (letter case ignored).
class TStringList : public TStrings {
public:
    int Count() const override { return int(items_.size()); }
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void Put(int index, const std::string& text) override;
    int Add(const std::string& text) override;
    void Insert(int index, const std::string& text) override;
    void Delete(int index) override;
    void Clear() override;
    int IndexOf(const std::string& text) const override;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TNotifyEvent OnChange;

private:
    void CheckIndex(int index) const;
    void Changed();
    void Sort();

    std::vector<std::pair<std::string, TObject*>> items_;
    bool sorted_ = false;
};
