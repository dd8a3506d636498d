#include "capabilitybits.h"

namespace lumeno {

const CapabilityBit kCapabilityBits[] = {
    {0x00000002, "document monitor may be used"},
    {0x00000004, "account mode B"},
    {0x00000008, "second page rotated by the page-setup fragment"},
    {0x00000020, "stored job types"},
    {0x00000040, "stored job types"},
    {0x00000080, "delayed printing with a start time"},
    {0x00000200, "owner password sent in owner-source mode 2"},
    {0x00001000, "port protocol kept up to date"},
    {0x00002000, "web page button"},
    {0x00004000, "mail notification"},
    {0x00008000, "banner sheet"},
    {0x00010000, "PINs, keys and passwords encoded"},
    {0x00020000, "account mode A"},
    {0x00080000, "document name as a comment, no charge account"},
    {0x00100000, "job-owner tool"},
    {0x00200000, "custom page size and finishing pages"},
    {0x00800000, "margins default to inches"},
    {0x01000000, "bidirectional communication"},
    {0x02000000, "no account-id attribute"},
    {0x04000000, "fax"},
    {0x08000000, "favorites"},
    {0x10000000, "box job type"},
    {0x80000000, "high-security and mailbox job types"},
};

const int kCapabilityBitCount = sizeof kCapabilityBits / sizeof kCapabilityBits[0];

}  // namespace lumeno
