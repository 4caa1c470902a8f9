#pragma once

#include "device_link/EnumSet.h"
#include "device_link/SettingsStore.h"

#include <QString>

#include <cstdint>

class TCustomComPort;

enum TStoredGroup { sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers };
using TStoredGroups = TEnumSet<TStoredGroup, std::uint8_t>;

// Saves and loads a port's settings in the registry or an INI file, group by group in the
// order basic, others, parity, buffer, timeouts, flow control. Values are read back through the
// port's setters inside one settings update, so an open port applies its line settings once.
class TComPortSettings {
public:
    // `ComponentName` names the INI section and the last part of the registry key; the
    // device's port has none, so its values lie directly in the key.
    explicit TComPortSettings(TCustomComPort& Port, const QString& ComponentName = QString());

    TStoredGroups GetStoredGroups() const { return FStoredGroups; }
    void SetStoredGroups(TStoredGroups value) { FStoredGroups = value; }

    // Any failure is error 16; values written before it stay written.
    void SaveSettings(TStoreType StoreType, const QString& Path);
    // Any failure is error 17; values set before it stay set, and the settings update ends
    // (applying the settings to an open port) in every case.
    void LoadSettings(TStoreType StoreType, const QString& Path);

private:
    TCustomComPort& FPort;
    QString FComponentName;
    TStoredGroups FStoredGroups{sgBasic};
};
