#include "device_link/TermiosMapping.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TLineSettings DeviceSettings() {
    TLineSettings settings;
    settings.BaudRate = br9600;
    settings.DataBits = dbEight;
    settings.StopBits = sbOneStopBit;
    settings.Parity.SetBits(prEven);
    settings.FlowControl.SetFlowControl(fcNone);
    return settings;
}

bool Has(tcflag_t flags, tcflag_t bits) { return (flags & bits) == bits; }

TEST(TermiosMapping, TheDeviceLineIs9600EvenParity8DataBits1StopBitWithoutFlowControl) {
    const TTermiosSettings mapped = TermiosFor(DeviceSettings());
    const termios& value = mapped.Value;
    EXPECT_EQ(cfgetospeed(&value), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&value), static_cast<speed_t>(B9600));
    EXPECT_FALSE(mapped.CustomSpeed);
    EXPECT_EQ(value.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(Has(value.c_cflag, PARENB | CREAD | CLOCAL));
    EXPECT_FALSE(Has(value.c_cflag, PARODD));
    EXPECT_FALSE(Has(value.c_cflag, CMSPAR));
    EXPECT_FALSE(Has(value.c_cflag, CSTOPB));
    EXPECT_FALSE(Has(value.c_cflag, CRTSCTS));
    // Raw: no echo, no line editing, no output processing, no software handshake.
    EXPECT_EQ(value.c_lflag, 0u);
    EXPECT_EQ(value.c_oflag, 0u);
    EXPECT_EQ(value.c_iflag, 0u);
    EXPECT_EQ(value.c_cc[VMIN], 0);
    EXPECT_EQ(value.c_cc[VTIME], 0);
    EXPECT_FALSE(mapped.DTR);
    EXPECT_FALSE(mapped.RTS);
    EXPECT_TRUE(mapped.DriveRTS);
}

TEST(TermiosMapping, EveryRateOfTheTableHasItsSpeed) {
    const std::vector<std::pair<TBaudRate, speed_t>> standard = {
        {br110, B110},     {br300, B300},       {br600, B600},      {br1200, B1200},
        {br2400, B2400},   {br4800, B4800},     {br9600, B9600},    {br19200, B19200},
        {br38400, B38400}, {br57600, B57600},   {br115200, B115200}};
    for (const auto& [rate, constant] : standard) {
        TLineSettings settings;
        settings.BaudRate = rate;
        const TTermiosSettings mapped = TermiosFor(settings);
        EXPECT_FALSE(mapped.CustomSpeed) << rate;
        EXPECT_EQ(cfgetospeed(&mapped.Value), constant) << rate;
    }
    const std::vector<std::pair<TBaudRate, std::uint32_t>> custom = {
        {br14400, 14400}, {br56000, 56000}, {br128000, 128000}, {br256000, 256000}};
    for (const auto& [rate, speed] : custom) {
        TLineSettings settings;
        settings.BaudRate = rate;
        const TTermiosSettings mapped = TermiosFor(settings);
        EXPECT_TRUE(mapped.CustomSpeed) << rate;
        EXPECT_EQ(mapped.Speed, speed) << rate;
    }
}

TEST(TermiosMapping, CustomRatesUseAConstantWhereOneExists) {
    TLineSettings settings;
    settings.BaudRate = brCustom;
    settings.CustomBaudRate = 230400;
    const TTermiosSettings standard = TermiosFor(settings);
    EXPECT_FALSE(standard.CustomSpeed);
    EXPECT_EQ(cfgetospeed(&standard.Value), static_cast<speed_t>(B230400));
    settings.CustomBaudRate = 250000;
    EXPECT_TRUE(TermiosFor(settings).CustomSpeed);
    EXPECT_EQ(TermiosFor(settings).Speed, 250000u);
}

TEST(TermiosMapping, ParityDataAndStopBits) {
    TLineSettings settings;
    const std::vector<std::pair<TParityBits, tcflag_t>> parities = {
        {prNone, 0}, {prOdd, PARENB | PARODD}, {prEven, PARENB}, {prMark, PARENB | CMSPAR | PARODD},
        {prSpace, PARENB | CMSPAR}};
    for (const auto& [bits, flags] : parities) {
        settings.Parity.SetBits(bits);
        EXPECT_EQ(TermiosFor(settings).Value.c_cflag & (PARENB | PARODD | CMSPAR), flags) << bits;
        EXPECT_EQ(WithoutParity(TermiosFor(settings)).Value.c_cflag & (PARENB | PARODD | CMSPAR), 0u) << bits;
    }
    settings.DataBits = dbFive;
    settings.StopBits = sbOne5StopBits;
    EXPECT_EQ(TermiosFor(settings).Value.c_cflag & (CSIZE | CSTOPB), static_cast<tcflag_t>(CS5 | CSTOPB));
    settings.DataBits = dbSeven;
    settings.StopBits = sbTwoStopBits;
    EXPECT_EQ(TermiosFor(settings).Value.c_cflag & (CSIZE | CSTOPB), static_cast<tcflag_t>(CS7 | CSTOPB));
}

TEST(TermiosMapping, HandshakesAndParityCheck) {
    TLineSettings settings;
    settings.FlowControl.SetFlowControl(fcHardware);
    EXPECT_TRUE(Has(TermiosFor(settings).Value.c_cflag, CRTSCTS));
    EXPECT_FALSE(TermiosFor(settings).DriveRTS);

    settings.FlowControl.SetFlowControl(fcSoftware);
    settings.FlowControl.SetXonChar(0x11);
    settings.FlowControl.SetXoffChar(0x13);
    settings.FlowControl.SetControlDTR(dtrEnable);
    const TTermiosSettings software = TermiosFor(settings);
    EXPECT_TRUE(Has(software.Value.c_iflag, IXON | IXOFF));
    EXPECT_FALSE(Has(software.Value.c_cflag, CRTSCTS));
    EXPECT_EQ(software.Value.c_cc[VSTART], 0x11);
    EXPECT_EQ(software.Value.c_cc[VSTOP], 0x13);
    EXPECT_TRUE(software.DTR);

    settings.Parity.SetCheck(true);
    EXPECT_FALSE(Has(TermiosFor(settings).Value.c_iflag, INPCK));
    settings.Parity.SetReplace(true);
    EXPECT_TRUE(Has(TermiosFor(settings).Value.c_iflag, INPCK));
    EXPECT_FALSE(Has(WithoutParity(TermiosFor(settings)).Value.c_iflag, INPCK));
}

} // namespace
