#include "device_link/ComLinkHost.h"

#include "device_link/EComPort.h"

#include <algorithm>

void TComLinkHost::RegisterLink(TComLink* link) {
    if (link == nullptr || std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
        throw EComPort(ComError::LinkRegistration);
    FLinks.push_back(link);
    UpdateHasLink();
}

void TComLinkHost::UnregisterLink(TComLink* link) {
    const auto found = std::find(FLinks.begin(), FLinks.end(), link);
    if (found == FLinks.end()) throw EComPort(ComError::LinkRegistration);
    FLinks.erase(found);
    UpdateHasLink();
}

void TComLinkHost::ForEachLink(const std::function<void(TComLink&)>& notify) const {
    // A copy, so a notification may unregister its own link without upsetting the walk.
    const std::vector<TComLink*> links = FLinks;
    for (TComLink* link : links) notify(*link);
}

void TComLinkHost::UpdateHasLink() {
    FHasLink = std::any_of(FLinks.begin(), FLinks.end(),
                           [](const TComLink* link) { return static_cast<bool>(link->OnRxBuf); });
}
