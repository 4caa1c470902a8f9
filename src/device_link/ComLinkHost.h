#pragma once

#include "device_link/ComLink.h"
#include "device_link/Component.h"

#include <functional>
#include <vector>

// The side of a serial port that components link to. It keeps the registered links in
// registration order; the port calls them when it opens, closes, reads and writes.
class TComLinkHost : public TComponent {
public:
    // Error 18 when the link is already registered (register) or is not (unregister).
    void RegisterLink(TComLink* link);
    void UnregisterLink(TComLink* link);

    // True when at least one registered link takes received bytes.
    bool HasLink() const { return FHasLink; }

protected:
    // Calls `notify` for every registered link, in registration order.
    void ForEachLink(const std::function<void(TComLink&)>& notify) const;

private:
    void UpdateHasLink();

    std::vector<TComLink*> FLinks;
    bool FHasLink = false;
};
