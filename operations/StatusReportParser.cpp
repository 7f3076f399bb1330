// Placeholder: the parser is being built.
#include "operations/StatusReportParser.h"
StatusReportParser::StatusReportParser() = default;
void StatusReportParser::ParseStatusReports(SerialTransport&, const std::function<void(const QString&)>&) {}
