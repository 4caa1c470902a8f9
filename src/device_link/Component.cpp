#include "device_link/Component.h"

#include <algorithm>

TComponent::~TComponent() { BeginDestruction(); }

void TComponent::EndLoading() {
    if (!FLoading) return;
    FLoading = false;
    Loaded();
}

namespace {
void AddOnce(std::vector<TComponent*>& list, TComponent* component) {
    if (std::find(list.begin(), list.end(), component) == list.end()) list.push_back(component);
}
} // namespace

// Mutual, so that whichever of the two dies first, the other is told and never keeps a
// dangling reference.
void TComponent::FreeNotification(TComponent* observer) {
    if (observer == nullptr || observer == this) return;
    AddOnce(FFreeNotifies, observer);
    AddOnce(observer->FFreeNotifies, this);
}

void TComponent::RemoveFreeNotification(TComponent* observer) {
    std::erase(FFreeNotifies, observer);
    if (observer != nullptr) std::erase(observer->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove) std::erase(FFreeNotifies, component);
}

void TComponent::BeginDestruction() {
    if (FDestroying) return;
    FDestroying = true;
    const std::vector<TComponent*> observers = std::move(FFreeNotifies);
    FFreeNotifies.clear();
    for (TComponent* observer : observers) observer->Notification(this, opRemove);
}
