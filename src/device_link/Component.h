#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The small part of a window-toolkit component that the device link relies on: a loading state
// (setters only store while a stored layout is applied), a destroying flag that handlers test,
// and removal notifications so that a component holding a reference to another learns when
// that other one goes away.
class TComponent {
public:
    enum TOperation { opInsert, opRemove };

    TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent();

    bool IsLoading() const { return FLoading; }
    bool IsDestroying() const { return FDestroying; }

    // A number kept for the component's user; the component itself never reads it.
    std::intptr_t GetTag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }

    // Applying a stored layout: setters store values without side effects until EndLoading.
    void BeginLoading() { FLoading = true; }
    void EndLoading();

    // `observer` gets Notification(this, opRemove) when this component is destroyed.
    void FreeNotification(TComponent* observer);
    void RemoveFreeNotification(TComponent* observer);

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    virtual void Loaded() {}
    // Derived destructors call this first, so that handlers see the component as dying and
    // observers drop their references before any member is torn down.
    void BeginDestruction();

private:
    friend void DestroyAfterWaits(std::unique_ptr<TComponent> component);

    bool FLoading = false;
    bool FDestroying = false;
    std::intptr_t FTag = 0;
    std::vector<TComponent*> FFreeNotifies;
};
