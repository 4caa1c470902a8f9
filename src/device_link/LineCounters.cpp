#include "device_link/LineCounters.h"

TComErrors ErrorsBetween(const TLineCounters& before, const TLineCounters& after, bool parityChecked) {
    TComErrors errors;
    if (after.Frame != before.Frame) errors.Include(leFrame);
    if (parityChecked && after.Parity != before.Parity) errors.Include(leRxParity);
    if (after.Overrun != before.Overrun) errors.Include(leOverrun);
    if (after.Break != before.Break) errors.Include(leBreak);
    if (after.BufferOverrun != before.BufferOverrun) errors.Include(leRxOver);
    return errors;
}
