#include "terminal/LinkStatus.h"

#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <QString>

#include <algorithm>

TLinkStatus::TLinkStatus(TTerminalSession& session) : FSession(session) {
    TKelvoDevice& device = session.Device();
    const auto refresh = [this](auto&&...) { Refresh(); };
    RunAfterHandler(device.OnKelvoDeviceStatusChanged, refresh);
    RunAfterHandler(device.OnConnected, [this](TComponent*) {
        FLost = false;
        Refresh();
    });
    RunAfterHandler(device.OnDisconnected, refresh);
    RunAfterHandler(device.OnRepairingConnection, refresh);
    RunAfterHandler(device.OnKvdErrorInfo, refresh);
    // A repair is over only after its report (614): the next message shows it over.
    RunAfterHandler(device.OnKelvoMessage, refresh);
    RunAfterHandler(device.OnConnectionLost, [this](TComponent*) {
        FLost = true;
        Refresh();
    });
    RunAfterHandler(device.OnComPortAfterOpen, [this](TComponent*) {
        if (!FSession.Device().GetRepairing()) FLost = false;
        Refresh();
    });
    RunAfterHandler(device.OnComPortAfterClose, refresh);
    FShown = Text();
}

std::string TLinkStatus::Text() const {
    std::string text = "COM: " + LinkText();
    if (FSession.Capture().IsRunning()) text += "  REC";
    if (!FSurveyLogOn) text += "  CS log off";
    return text;
}

std::string TLinkStatus::LinkText() const {
    const TKelvoDevice& device = FSession.Device();
    const std::string port = device.GetComPortPort().empty() ? "(no port)" : device.GetComPortPort();
    if (device.GetRepairing()) return port + " repairing (attempt " + std::to_string(std::max(1, device.GetRepairTries())) + ")";
    if (FLost) return port + " lost";
    if (device.GetConnected()) {
        const std::string console = "Kelvo " + QString::number(device.GetVersion()).toStdString();
        return port + " " + console + (device.GetStatus() == dsRunning ? " riding" : " connected");
    }
    return port + (device.GetComPortConnected() ? " open" : " closed");
}

void TLinkStatus::SetSurveyLogOn(bool on) {
    FSurveyLogOn = on;
    Refresh();
}

void TLinkStatus::Refresh() {
    const std::string text = Text();
    if (text == FShown) return;
    FShown = text;
    if (OnChanged) OnChanged(text);
}
