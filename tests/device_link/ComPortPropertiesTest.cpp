#include "device_link/ComPort.h"
#include "device_link/EComPort.h"

#include <gtest/gtest.h>

namespace {

TEST(ComPortProperties, DefaultsOfANewPort) {
    const TComPort port;
    EXPECT_FALSE(port.GetConnected());
    EXPECT_EQ(port.GetPort(), "COM1");
    EXPECT_EQ(port.GetBaudRate(), br9600);
    EXPECT_EQ(port.GetCustomBaudRate(), 9600);
    EXPECT_EQ(port.GetDataBits(), dbEight);
    EXPECT_EQ(port.GetStopBits(), sbOneStopBit);
    EXPECT_EQ(port.GetParity().GetBits(), prNone);
    EXPECT_FALSE(port.GetParity().GetCheck());
    EXPECT_EQ(port.GetFlowControl().GetFlowControl(), fcNone);
    EXPECT_EQ(port.GetFlowControl().GetXonChar(), 17);
    EXPECT_EQ(port.GetFlowControl().GetXoffChar(), 19);
    EXPECT_EQ(port.GetBuffer().GetInputSize(), 1024);
    EXPECT_EQ(port.GetBuffer().GetOutputSize(), 1024);
    EXPECT_EQ(port.GetTimeouts().GetReadInterval(), -1);
    EXPECT_EQ(port.GetTimeouts().GetReadTotalMultiplier(), 0);
    EXPECT_EQ(port.GetTimeouts().GetReadTotalConstant(), 0);
    EXPECT_EQ(port.GetTimeouts().GetWriteTotalMultiplier(), 100);
    EXPECT_EQ(port.GetTimeouts().GetWriteTotalConstant(), 1000);
    EXPECT_EQ(port.GetEvents().Bits(), 0x03FF);
    EXPECT_EQ(port.GetEventChar(), 0);
    EXPECT_FALSE(port.GetDiscardNull());
    EXPECT_EQ(port.GetSyncMethod(), smThreadSync);
    EXPECT_EQ(port.GetEventThreadPriority(), tpNormal);
}

TEST(ComPortProperties, EventSetsHaveTheStoredBitValues) {
    EXPECT_EQ((TComEvents{evRxChar, evTxEmpty, evBreak, evError, evRx80Full}.Bits()), 659);
    EXPECT_EQ((TComEvents{evRxChar, evError, evRx80Full}.Bits()), 0x0281);
    EXPECT_EQ((TComErrors{leFrame, leTxFull}.Bits()), 0x81);
    EXPECT_TRUE(TComEvents::FromBits(659).Contains(evBreak));
    EXPECT_FALSE(TComEvents::FromBits(659).Contains(evRxFlag));
}

TEST(ComPortProperties, FlowControlIsReadFromRtsCtsAndXonXoff) {
    TComFlowControl flow;
    flow.SetControlRTS(rtsHandshake);
    flow.SetOutCTSFlow(true);
    flow.SetControlDTR(dtrHandshake);
    flow.SetOutDSRFlow(true);
    EXPECT_EQ(flow.GetFlowControl(), fcHardware);
    flow.SetXonXoffIn(true);
    EXPECT_EQ(flow.GetFlowControl(), fcCustom);
    flow.SetControlRTS(rtsDisable);
    flow.SetOutCTSFlow(false);
    EXPECT_EQ(flow.GetFlowControl(), fcCustom);
    flow.SetXonXoffOut(true);
    EXPECT_EQ(flow.GetFlowControl(), fcSoftware);
    flow.SetXonXoffIn(false);
    flow.SetXonXoffOut(false);
    EXPECT_EQ(flow.GetFlowControl(), fcNone);
    flow.SetControlRTS(rtsEnable);
    EXPECT_EQ(flow.GetFlowControl(), fcCustom);
}

TEST(ComPortProperties, WritingFlowControlResetsTheHandshakeFieldsAndAppliesEveryTime) {
    int applied = 0;
    TComFlowControl flow([&] { ++applied; });
    flow.SetFlowControl(fcSoftware);
    EXPECT_EQ(flow.GetFlowControl(), fcSoftware);
    flow.SetFlowControl(fcHardware);
    EXPECT_TRUE(flow.GetOutCTSFlow());
    EXPECT_EQ(flow.GetControlRTS(), rtsHandshake);
    EXPECT_FALSE(flow.GetXonXoffIn() || flow.GetXonXoffOut());
    flow.SetControlDTR(dtrEnable);
    flow.SetFlowControl(fcNone);
    EXPECT_EQ(flow.GetFlowControl(), fcNone);
    EXPECT_EQ(flow.GetControlDTR(), dtrEnable);
    applied = 0;
    flow.SetFlowControl(fcCustom);
    flow.SetFlowControl(fcNone);
    EXPECT_EQ(applied, 2);
    EXPECT_EQ(flow.GetFlowControl(), fcNone);
}

TEST(ComPortProperties, OddBufferSizesAreStoredLessOne) {
    TComBuffer buffer;
    buffer.SetInputSize(1025);
    EXPECT_EQ(buffer.GetInputSize(), 1024);
    buffer.SetOutputSize(1);
    EXPECT_EQ(buffer.GetOutputSize(), 0);
    buffer.SetOutputSize(-3);
    EXPECT_EQ(buffer.GetOutputSize(), -3);
    buffer.SetInputSize(2048);
    EXPECT_EQ(buffer.GetInputSize(), 2048);
}

TEST(ComPortProperties, SettingsObjectsApplyOnRealChangesAndOnceWhenAssignedWhole) {
    int applied = 0;
    TComParity parity([&] { ++applied; });
    parity.SetBits(prNone);
    EXPECT_EQ(applied, 0);
    parity.SetBits(prEven);
    EXPECT_EQ(applied, 1);

    TComParity standalone;
    standalone.SetBits(prOdd);
    standalone.SetCheck(true);
    standalone.SetReplaceChar(0x3F);
    parity.Assign(standalone);
    EXPECT_EQ(applied, 2);
    EXPECT_EQ(parity.GetBits(), prOdd);
    EXPECT_TRUE(parity.GetCheck());
    EXPECT_EQ(parity.GetReplaceChar(), 0x3F);
    // The copy keeps its own owner: changing it later still applies to the port.
    parity.SetCheck(false);
    EXPECT_EQ(applied, 3);
}

TEST(ComPortProperties, ClosedPortsStoreWhatOpenOnesWouldApply) {
    TComPort port;
    port.SetEvents({});
    port.SetSyncMethod(smWindowSync);
    port.SetEventThreadPriority(tpLower);
    port.BeginSettingsUpdate();
    port.SetBaudRate(br115200);
    port.EndSettingsUpdate();
    port.EndSettingsUpdate();
    EXPECT_EQ(port.GetBaudRate(), br115200);
    EXPECT_EQ(port.GetSyncMethod(), smWindowSync);
    EXPECT_EQ(port.GetEventThreadPriority(), tpLower);
    EXPECT_TRUE(port.GetEvents().Empty());
    EXPECT_EQ(port.WriteString(""), 0);
    // Operations that need the device fail with their own codes on a closed port.
    for (const auto& [code, call] : std::vector<std::pair<int, std::function<void()>>>{
             {2, [&] { port.WriteString("x"); }},
             {5, [&] { port.ClearBuffers(true, true); }},
             {10, [&] { port.PendingInputCount(); }}}) {
        try {
            call();
            ADD_FAILURE() << code;
        } catch (const EComPort& error) {
            EXPECT_EQ(error.ErrorCode(), code);
        }
    }
}

} // namespace
