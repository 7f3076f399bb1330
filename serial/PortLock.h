#pragma once
#include "platform/DeviceOutcome.h"
#include <QString>
#include <memory>

class QLockFile;

// Keeps a serial port to one user, in the three ways programs on Linux keep
// out of each other's way: a process that holds the device open (seen through
// /proc, even when this process is root and so passes TIOCEXCL), the lock file
// Qt programs take ("LCK..ttyACM0" in the usual lock folders), and TIOCEXCL
// on the tty. The transport owns one and calls it around its open and close;
// it never opens or closes the descriptor itself. Used on the thread that
// owns the transport.
class PortLock {
public:
    PortLock();
    // Gives up the lock file if one is held; touches no descriptor.
    ~PortLock();

    // Before the device at path is opened (portName names it in outcomes):
    // refuses a path that is not a tty character device, one another process
    // holds open, and one whose lock file another process holds; otherwise
    // takes the lock file where a lock folder lets it (one that cannot be
    // written guards nothing; TIOCEXCL still does). Returns ok(), or why the
    // port is refused (step Open): the stat's OS error, Unusable "not a
    // serial port", or Busy with the holder.
    DeviceOutcome claim(const QString& portName, const QString& path);
    // Right after the open of fd: sets TIOCEXCL, so other opens of the tty
    // fail with EBUSY. Returns ok(), Unusable "not a serial port" when fd is
    // no tty, or the OS error (step Open). The caller closes fd on failure.
    DeviceOutcome exclude(int fd, const QString& portName) const;
    // Just before fd is closed: clears TIOCEXCL. The flag belongs to the tty,
    // not to the descriptor, and would outlive the close while anything else
    // holds the tty open.
    void release(int fd) const;
    // After the close, or after a refused open: gives up the lock file.
    // Nothing when none is held.
    void unlock();

    // Where QSerialPort keeps its lock for the device at path, and so this
    // lock too: "LCK..ttyACM0" in the first of the usual lock folders that
    // can be read, and written or already holds it. Empty when none can.
    static QString LockFilePath(const QString& path);

private:
    std::unique_ptr<QLockFile> m_lock;
};
