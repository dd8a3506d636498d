#include "printeragent.h"

namespace devlinktest {

testsupport::SnmpAgentConfig PrinterAgentConfig()
{
    testsupport::SnmpAgentConfig config;
    config.users = {{kUserNoAuth, "noauth", "", "", "", ""},
                    {kUserMd5Des, "priv", "MD5", kAuthPass, "DES", kPrivPass},
                    {kUserShaAes, "priv", "SHA", kAuthPass, "AES", kPrivPass}};
    config.values = {{kPrinterStatus, "integer", "3"},
                     {kPageCount, "counter", "12345"},
                     {kPrinterName, "octet_str", "\"Lumeno 4100DN\""},
                     {kWritable, "integer", "7"}};
    for (int row = 1; row <= kTableRows; ++row)
        config.values.push_back({kTable + "." + std::to_string(row), "octet_str", "\"row " + std::to_string(row) + "\""});
    return config;
}

}  // namespace devlinktest
