#pragma once
#include <QString>
#include <sys/types.h>
#include <vector>

// Which processes hold a device node open, as fuser finds them: every
// /proc/<pid>/fd entry whose target is the same character device (st_rdev).
// This process is never listed (its simulated controller may hold a side of a
// pseudo-terminal). Processes the user may not look into (another user's, for
// a user who is not root) are not seen.
struct DeviceHolder {
    int pid = 0;
    QString name;  // the process's command name (/proc/<pid>/comm)
};
std::vector<DeviceHolder> FindDeviceHolders(dev_t rdev);

// "ModemManager (pid 812)", several joined with ", ".
QString DescribeHolders(const std::vector<DeviceHolder>& holders);

// True when rdev belongs to a tty driver in /proc/tty/drivers (serial ports,
// USB CDC-ACM, pseudo-terminal slaves). True as well when that list cannot be
// read: the open's own checks then decide.
bool IsTtyDevice(dev_t rdev);
