// Placeholder: the transport is being built.
#include "serial/SerialTransport.h"
#include <QSerialPort>
SerialTransport::SerialTransport(Clock& clock) : g_pszCommDef("baud=460800 parity=N data=8 stop=2"), m_clock(clock) {}
SerialTransport::~SerialTransport() = default;
int SerialTransport::OpenComPort(const QString&) { m_hCom = Handle::Invalid; return -1; }
int SerialTransport::CloseComPort() { m_hCom = Handle::None; return 0; }
int SerialTransport::ReadComPort(char*, int) { return -1; }
int SerialTransport::WriteComPort(const char*, int) { return -1; }
int SerialTransport::WriteComByte(std::uint32_t) { return -1; }
int SerialTransport::PumpComReceive() { return -1; }
int SerialTransport::baudRate() const { return 460800; }
