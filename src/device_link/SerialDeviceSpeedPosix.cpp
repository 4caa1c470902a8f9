// termios2 lives in the kernel's headers, which clash with the C library's <termios.h>; this
// file keeps them apart from the rest of the device code.
#include "device_link/SerialDevice.h"

#include "device_link/EComPort.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

void TSerialDevice::ApplyCustomSpeed(int handle, std::uint32_t speed) {
    termios2 settings{};
    if (ioctl(handle, TCGETS2, &settings) != 0) throw EComPort(ComError::SetCommState, errno);
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = speed;
    settings.c_ospeed = speed;
    if (ioctl(handle, TCSETS2, &settings) != 0) throw EComPort(ComError::SetCommState, errno);
}
