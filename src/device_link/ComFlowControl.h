#pragma once

#include "device_link/ComPersistent.h"
#include "device_link/ComPortTypes.h"

#include <cstdint>

// Handshake of the line, and the composite FlowControl that reads and sets the usual cases.
class TComFlowControl : public TComPersistent {
public:
    using TComPersistent::TComPersistent;

    bool GetOutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool value) { Store(FOutCTSFlow, value); }
    bool GetOutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool value) { Store(FOutDSRFlow, value); }
    TDTRFlowControl GetControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl value) { Store(FControlDTR, value); }
    TRTSFlowControl GetControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl value) { Store(FControlRTS, value); }
    bool GetXonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool value) { Store(FXonXoffOut, value); }
    bool GetXonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool value) { Store(FXonXoffIn, value); }
    bool GetDSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool value) { Store(FDSRSensitivity, value); }
    bool GetTxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool value) { Store(FTxContinueOnXoff, value); }
    std::uint8_t GetXonChar() const { return FXonChar; }
    void SetXonChar(std::uint8_t value) { Store(FXonChar, value); }
    std::uint8_t GetXoffChar() const { return FXoffChar; }
    void SetXoffChar(std::uint8_t value) { Store(FXoffChar, value); }

    // fcHardware, fcSoftware or fcNone when RTS, CTS and XON/XOFF match that case, else fcCustom.
    TFlowControl GetFlowControl() const;
    // Sets RTS, CTS and XON/XOFF for the case (fcCustom changes nothing) and applies in every case.
    void SetFlowControl(TFlowControl value);

    // Copies every field and applies once.
    void Assign(const TComFlowControl& source) {
        *this = source;
        Changed();
    }

private:
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    std::uint8_t FXonChar = 17;
    std::uint8_t FXoffChar = 19;
};
