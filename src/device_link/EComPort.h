#pragma once

#include <stdexcept>
#include <string>

// The serial link's exception: a code from 1 to 23 and, where the failure came from the
// operating system, its error value (errno here; -1 when there is none).
class EComPort : public std::runtime_error {
public:
    static constexpr int NoSystemError = -1;

    explicit EComPort(int errorCode, int systemErrorCode = NoSystemError);

    int ErrorCode() const { return FErrorCode; }
    int SystemErrorCode() const { return FSystemErrorCode; }

    // The fixed text of a code, without the system suffix; empty for an unknown code.
    static std::string CodeText(int errorCode);

private:
    int FErrorCode;
    int FSystemErrorCode;
};

// Error codes, named after the operation that fails.
namespace ComError {
inline constexpr int OpenPort = 1;
inline constexpr int WriteFile = 2;
inline constexpr int ReadFile = 3;
inline constexpr int InvalidAsync = 4;
inline constexpr int PurgeComm = 5;
inline constexpr int AsyncStatus = 6;
inline constexpr int SetCommState = 7;
inline constexpr int SetCommTimeouts = 8;
inline constexpr int SetupComm = 9;
inline constexpr int ClearCommError = 10;
inline constexpr int ModemStatus = 11;
inline constexpr int EscapeComm = 12;
inline constexpr int TransmitChar = 13;
inline constexpr int ConnectedProperty = 14;
inline constexpr int EnumPorts = 15;
inline constexpr int StoreSettings = 16;
inline constexpr int LoadSettings = 17;
inline constexpr int LinkRegistration = 18;
inline constexpr int LedState = 19;
inline constexpr int WaitWithThread = 20;
inline constexpr int WaitForEvent = 21;
inline constexpr int RxBufLinked = 22;
inline constexpr int Registry = 23;
} // namespace ComError
