#include "device_link/ComFlowControl.h"

TFlowControl TComFlowControl::GetFlowControl() const {
    const bool xonXoff = FXonXoffIn && FXonXoffOut;
    const bool noXonXoff = !FXonXoffIn && !FXonXoffOut;
    if (FControlRTS == rtsHandshake && FOutCTSFlow && noXonXoff) return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && xonXoff) return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && noXonXoff) return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
    if (value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
    }
    if (value == fcHardware) {
        FControlRTS = rtsHandshake;
        FOutCTSFlow = true;
    } else if (value == fcSoftware) {
        FXonXoffIn = true;
        FXonXoffOut = true;
    }
    Changed();
}
