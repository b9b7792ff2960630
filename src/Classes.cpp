#include "Classes.h"

#include <algorithm>

#include "StringIds.h"
#include "runtime/SysUtils.h"

// ---- TComponent

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent::~TComponent() {
    BeforeDestruction();
}

void TComponent::BeforeDestruction() {
    Destroying();
    for (TComponent* other : std::exchange(freeNotifies_, {})) {
        auto& theirs = other->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
}

TComponent* TComponent::Components(int index) const {
    return owned_.at(size_t(index)).get();
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    for (const auto& c : owned_)
        if (!name.empty() && AnsiCompareText(c->name_, std::string(name)) == 0) return c.get();
    return nullptr;
}

void TComponent::InsertComponent(std::unique_ptr<TComponent> component) {
    TComponent* raw = component.get();
    raw->owner_ = this;
    owned_.push_back(std::move(component));
    NotifyOwned(raw, TOperation::opInsert);
}

std::unique_ptr<TComponent> TComponent::ExtractComponent(TComponent* component) {
    auto it = std::find_if(owned_.begin(), owned_.end(), [&](const auto& p) { return p.get() == component; });
    if (it == owned_.end()) return nullptr;
    std::unique_ptr<TComponent> taken = std::move(*it);
    owned_.erase(it);
    return taken;
}

void TComponent::NotifyOwned(TComponent* component, TOperation operation) {
    Notification(component, operation);
    for (size_t i = 0; i < owned_.size(); ++i)
        if (owned_[i].get() != component) owned_[i]->Notification(component, operation);
}

void TComponent::DestroyComponent(TComponent* component) {
    std::unique_ptr<TComponent> taken = ExtractComponent(component);
    if (!taken) return;
    taken->Destroying();
    NotifyOwned(taken.get(), TOperation::opRemove);
    taken->BeforeDestruction();
    taken.reset();
}

void TComponent::DestroyComponents() {
    while (!owned_.empty()) {
        std::unique_ptr<TComponent> last = std::move(owned_.back());
        owned_.pop_back();
        last->Destroying();
        NotifyOwned(last.get(), TOperation::opRemove);
        last->BeforeDestruction();
        last.reset();
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
        freeNotifies_.push_back(other);
        other->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    auto drop = [](std::vector<TComponent*>& list, TComponent* c) {
        list.erase(std::remove(list.begin(), list.end(), c), list.end());
    };
    drop(freeNotifies_, other);
    if (other) drop(other->freeNotifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Destroying() {
    if (IsDestroying()) return;
    destroying_ = true;
    for (auto& c : owned_) c->Destroying();
}

// ---- TStrings

void TStrings::IndexError() {
    throw EListError(LoadStr(SListIndexError));
}

void TStrings::Put(int index, const std::string& text) {
    TObject* object = GetObject(index);
    Delete(index);
    Insert(index, text);
    PutObject(index, object);
}

int TStrings::Add(const std::string& text) {
    int index = Count();
    Insert(index, text);
    return index;
}

int TStrings::AddObject(const std::string& text, TObject* object) {
    int index = Add(text);
    PutObject(index, object);
    return index;
}

int TStrings::IndexOf(const std::string& text) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (AnsiCompareText(Get(i), text) == 0) return i;
    return -1;
}

void TStrings::Assign(const TStrings& source) {
    BeginUpdate();
    Clear();
    for (int i = 0, n = source.Count(); i < n; ++i) AddObject(source.Get(i), source.GetObject(i));
    EndUpdate();
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> out;
    for (int i = 0, n = Count(); i < n; ++i) out.push_back(Get(i));
    return out;
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

// ---- TStringList

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError();
}

std::string TStringList::Get(int index) const {
    CheckIndex(index);
    return items_[size_t(index)].first;
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return items_[size_t(index)].second;
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index);
    items_[size_t(index)].second = object;
}

void TStringList::Put(int index, const std::string& text) {
    CheckIndex(index);
    items_[size_t(index)].first = text;
    if (sorted_) Sort();
    Changed();
}

int TStringList::Add(const std::string& text) {
    if (!sorted_) return TStrings::Add(text);
    auto at = std::upper_bound(items_.begin(), items_.end(), text,
                               [](const std::string& t, const auto& item) { return AnsiCompareText(t, item.first) < 0; });
    int index = int(at - items_.begin());
    items_.insert(at, {text, nullptr});
    Changed();
    return index;
}

void TStringList::Insert(int index, const std::string& text) {
    if (index < 0 || index > Count()) IndexError();
    items_.insert(items_.begin() + index, {text, nullptr});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed();
}

int TStringList::IndexOf(const std::string& text) const {
    return TStrings::IndexOf(text);
}

void TStringList::SetSorted(bool sorted) {
    if (sorted_ == sorted) return;
    sorted_ = sorted;
    if (sorted_) Sort();
}

void TStringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return AnsiCompareText(a.first, b.first) < 0; });
}

void TStringList::Changed() {
    OnChange(this);
}
