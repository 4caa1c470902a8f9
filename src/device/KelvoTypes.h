#pragma once

#include "device_link/ByteString.h"

#include <functional>
#include <string>
#include <utility>

class TComponent;

// Types shared by the device component and its users.

enum TKelvoDeviceStatus { dsDisconnected, dsConnected, dsRunning, dsPaused, dsStopped };

enum TKelvoDeviceMessageType { mtInfos, mtRollCount, MtSerialNumber, MtIdentification, mtProductVersion, mtAck };

// Ordinals equal the bit numbers of the keys in the status byte.
enum TConsoleKey { ckPlus, ckMinus, ckEnter, ckTab };

// The component raises only the connecting (2) and connected (3) kinds.
enum TKvdErrorType { ketNone, ketPort, ketConnecting, ketConnected };

enum TUnitMeasure { umKm, umMiles };

// Metres in one unit of distance.
inline constexpr long double MetresPerKm = 1000.0L;
inline constexpr long double MetresPerMile = 1609.0L;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TKelvoDeviceMessageEvent =
    std::function<void(TComponent* Sender, TKelvoDeviceMessageType KelvoMessageType, long double Value1,
                       long double Value2, long double Value3, const ByteString& Str)>;
using TKelvoDeviceStatusChangedEvent = std::function<void(TComponent* Sender, TKelvoDeviceStatus OldKelvoDeviceStatus,
                                                          TKelvoDeviceStatus NewKelvoDeviceStatus)>;
using TMessageRejectedEvent = std::function<void(const ByteString& str)>;
using TKvdErrorInfo = std::function<void(TComponent* Sender, int KvdErrorType, int KvdErrorCode, int Occurence)>;
using TBeforeStopEvent = std::function<void(TComponent* Sender, bool& CanContinue)>;
using TOnStatsEvent = std::function<void(TComponent* Sender, int LapTime, int LapEventCount, long double LapRollCount,
                                         long double LapDistance, long double OldSpeed, bool SpeedChanged)>;
using TInstantHeartEvent = std::function<void(TComponent* Sender, const std::string& aText)>;
using TAlarmEvent = std::function<void(TComponent* Sender, int PercentDelta, bool isHigherLimit,
                                       bool AbortedByComponent, bool& doStop)>;
using TConsoleKeyDownEvent = std::function<void(TComponent* Sender, TConsoleKey ConsoleKey)>;

// Raises an event: calls the handler when one is assigned, and does nothing otherwise.
template <typename Event, typename... Args> void Raise(const Event& event, Args&&... args) {
    if (event) event(std::forward<Args>(args)...);
}
