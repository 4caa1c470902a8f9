#include "device_link/TermiosMapping.h"

#include <algorithm>
#include <array>

namespace {
struct TSpeedConstant {
    std::uint32_t Speed;
    speed_t Constant;
};

constexpr std::array<TSpeedConstant, 30> SpeedConstants = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
}};

const TSpeedConstant* FindSpeedConstant(std::uint32_t speed) {
    const auto found = std::find_if(SpeedConstants.begin(), SpeedConstants.end(),
                                    [speed](const TSpeedConstant& entry) { return entry.Speed == speed; });
    return found == SpeedConstants.end() ? nullptr : &*found;
}

tcflag_t DataBitsFlag(TDataBits bits) {
    static constexpr std::array<tcflag_t, 4> Flags = {CS5, CS6, CS7, CS8};
    return Flags[static_cast<std::size_t>(bits)];
}

// Mark and space parity are the odd and even parity bit held at a fixed level (CMSPAR).
tcflag_t ParityFlags(TParityBits bits) {
    static constexpr std::array<tcflag_t, 5> Flags = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                                      PARENB | CMSPAR};
    return Flags[static_cast<std::size_t>(bits)];
}

tcflag_t ControlFlags(const TLineSettings& settings) {
    tcflag_t flags = CREAD | CLOCAL | DataBitsFlag(settings.DataBits) | ParityFlags(settings.Parity.GetBits());
    // Two stop bits, and one and a half with five data bits, are both CSTOPB to the driver.
    if (settings.StopBits != sbOneStopBit) flags |= CSTOPB;
    if (settings.FlowControl.GetOutCTSFlow() || settings.FlowControl.GetControlRTS() == rtsHandshake)
        flags |= CRTSCTS;
    return flags;
}

// Without a parity check, bytes pass unchanged and parity errors are only counted. With check
// and replacement the driver substitutes a 0x00 byte, the one replacement it offers.
tcflag_t InputFlags(const TLineSettings& settings) {
    tcflag_t flags = 0;
    if (settings.Parity.GetCheck() && settings.Parity.GetReplace()) flags |= INPCK;
    if (settings.FlowControl.GetXonXoffOut()) flags |= IXON;
    if (settings.FlowControl.GetXonXoffIn()) flags |= IXOFF;
    return flags;
}

void SetSpeed(TTermiosSettings& result, std::uint32_t speed) {
    result.Speed = speed;
    const TSpeedConstant* constant = FindSpeedConstant(speed);
    result.CustomSpeed = constant == nullptr;
    // A custom speed replaces this placeholder through termios2.
    const speed_t code = constant != nullptr ? constant->Constant : B38400;
    cfsetispeed(&result.Value, code);
    cfsetospeed(&result.Value, code);
}
} // namespace

TTermiosSettings TermiosFor(const TLineSettings& settings) {
    TTermiosSettings result;
    result.Value.c_iflag = InputFlags(settings);
    result.Value.c_cflag = ControlFlags(settings);
    // Reads never block in the driver: the port waits itself, within its time-outs.
    result.Value.c_cc[VMIN] = 0;
    result.Value.c_cc[VTIME] = 0;
    result.Value.c_cc[VSTART] = static_cast<cc_t>(settings.FlowControl.GetXonChar());
    result.Value.c_cc[VSTOP] = static_cast<cc_t>(settings.FlowControl.GetXoffChar());
    SetSpeed(result, BaudRateSpeed(settings.BaudRate, settings.CustomBaudRate));

    const TRTSFlowControl rts = settings.FlowControl.GetControlRTS();
    result.DTR = settings.FlowControl.GetControlDTR() != dtrDisable;
    result.DriveRTS = rts != rtsHandshake;
    result.RTS = rts == rtsEnable || rts == rtsToggle;
    return result;
}

TTermiosSettings WithoutParity(TTermiosSettings settings) {
    settings.Value.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    settings.Value.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    return settings;
}
