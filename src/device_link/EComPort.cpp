#include "device_link/EComPort.h"

#include <array>
#include <string_view>

namespace {
constexpr std::array<std::string_view, 23> CodeTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string MessageOf(int errorCode, int systemErrorCode) {
    std::string message = EComPort::CodeText(errorCode);
    if (systemErrorCode != EComPort::NoSystemError)
        message += " (win error code: " + std::to_string(systemErrorCode) + ")";
    return message;
}
} // namespace

EComPort::EComPort(int errorCode, int systemErrorCode)
    : std::runtime_error(MessageOf(errorCode, systemErrorCode)), FErrorCode(errorCode),
      FSystemErrorCode(systemErrorCode) {}

std::string EComPort::CodeText(int errorCode) {
    if (errorCode < 1 || errorCode > static_cast<int>(CodeTexts.size())) return {};
    return std::string(CodeTexts[static_cast<std::size_t>(errorCode - 1)]);
}
