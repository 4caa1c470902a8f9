#pragma once

#include "device_link/EnumSet.h"

#include <cstdint>

// Line speeds; brCustom takes the port's CustomBaudRate.
enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000,
    br57600, br115200, br128000, br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
// How line events reach the handlers: a blocking hand-over to the main thread, a hand-over that
// does not wait for the handling, or on the event thread itself.
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
using TComEvents = TEnumSet<TComEvent, std::uint16_t>;

enum TComError { leFrame, leRxParity, leOverrun, leBreak, leIO, leMode, leRxOver, leTxFull };
using TComErrors = TEnumSet<TComError, std::uint8_t>;

// The modem input lines that ModemSignals reports.
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
using TComSignals = TEnumSet<TComSignal, std::uint8_t>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

// Bits per second of `rate`; `custom` for brCustom.
std::uint32_t BaudRateSpeed(TBaudRate rate, std::int32_t custom);
