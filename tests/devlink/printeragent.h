// A real snmpd that looks like the printer to the devlink tests: the system group, a few Host
// Resources and Printer MIB values, a table of 1000 rows, and SNMPv3 users of every level.
#pragma once

#include <string>

#include "snmpagent.h"

namespace devlinktest {

inline constexpr int kTableRows = 1000;
inline const std::string kTable = "1.3.6.1.4.1.47301.9.3.1";  // rows .1 ... .1000, "row N"
inline const std::string kSysDescr = "1.3.6.1.2.1.1.1.0";
inline const std::string kPrinterStatus = "1.3.6.1.2.1.25.3.5.1.1.1";  // hrPrinterStatus, INTEGER 3
inline const std::string kPageCount = "1.3.6.1.2.1.43.10.2.1.4.1.1";   // prtMarkerLifeCount, Counter32
inline const std::string kPrinterName = "1.3.6.1.2.1.43.5.1.1.16.1";   // prtGeneralPrinterName
inline const std::string kWritable = "1.3.6.1.4.1.47301.9.1.1";        // INTEGER 7, writable

// The SNMPv3 users: name, pass phrases.
inline const char* const kUserNoAuth = "lumeno-plain";
inline const char* const kUserMd5Des = "lumeno-md5";
inline const char* const kUserShaAes = "lumeno-sha";
inline const char* const kAuthPass = "authpassword";
inline const char* const kPrivPass = "privpassword";

testsupport::SnmpAgentConfig PrinterAgentConfig();

}  // namespace devlinktest
