#pragma once

#include "device/KelvoDevice.h"
#include "device_link/ByteString.h"

#include <string>
#include <vector>

// Records the device's events in the order they are raised, as short texts.
struct DeviceEventLog {
    explicit DeviceEventLog(TKelvoDevice& device) : device(device) {
        device.OnVersionChange = [this](TComponent*) { events.push_back("version"); };
        device.OnKelvoDeviceStatusChanged = [this](TComponent*, TKelvoDeviceStatus from, TKelvoDeviceStatus to) {
            events.push_back("status " + std::to_string(from) + "->" + std::to_string(to));
        };
        device.OnConnected = [this](TComponent*) { events.push_back("connected"); };
        device.OnDisconnected = [this](TComponent*) { events.push_back("disconnected"); };
        device.OnAfterStop = [this](TComponent*) { events.push_back("afterstop"); };
        device.OnMessageRejected = [this](const ByteString& s) { events.push_back("rejected" + HexText(s)); };
        device.OnSerialNumber = [this](TComponent*) { events.push_back("serial"); };
        device.OnProductVersion = [this](TComponent*) { events.push_back("product"); };
        device.OnKelvoMessage = [this](TComponent*, TKelvoDeviceMessageType type, long double v1, long double v2,
                                       long double v3, const ByteString&) {
            messages.push_back({type, v1, v2, v3});
            events.push_back("message " + std::to_string(type));
        };
    }
    // The device outlives the log and still raises events when it is destroyed.
    ~DeviceEventLog() {
        device.OnVersionChange = nullptr;
        device.OnKelvoDeviceStatusChanged = nullptr;
        device.OnConnected = nullptr;
        device.OnDisconnected = nullptr;
        device.OnAfterStop = nullptr;
        device.OnMessageRejected = nullptr;
        device.OnSerialNumber = nullptr;
        device.OnProductVersion = nullptr;
        device.OnKelvoMessage = nullptr;
    }
    DeviceEventLog(const DeviceEventLog&) = delete;
    DeviceEventLog& operator=(const DeviceEventLog&) = delete;

    struct Message {
        TKelvoDeviceMessageType type;
        long double value1, value2, value3;
    };
    TKelvoDevice& device;
    std::vector<std::string> events;
    std::vector<Message> messages;
};
