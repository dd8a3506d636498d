// devlink: common definitions of the device-communication library (export macro, result codes).
#pragma once

// Symbols the library offers to callers outside itself.
#define DEVLINK_EXPORT __attribute__((visibility("default")))

namespace devlink {

// Result codes shared by the whole library: 0 is success, every failure is negative.
inline constexpr long PMC_OK = 0;
inline constexpr long PMC_E_NOVALUE = -1;
inline constexpr long PMC_E_INVALID = -2;
inline constexpr long PMC_E_NOMEM = -3;
inline constexpr long PMC_E_NOINTERFACE = -4;
inline constexpr long PMC_E_UNSUPPORTED = -5;
inline constexpr long PMC_E_NOELEMENT = -7;
inline constexpr long PMC_E_NOTREADY = -8;
inline constexpr long PMC_E_NOLIBRARY = -10;
inline constexpr long PMC_E_SNMPLIB = -200;
inline constexpr long PMC_E_SOCKET = -201;
inline constexpr long PMC_E_BIND = -202;
inline constexpr long PMC_E_TIMEOUT = -203;
inline constexpr long PMC_E_RECEIVE = -204;
inline constexpr long PMC_E_SEND = -205;
inline constexpr long PMC_E_TOOBIG = -210;
inline constexpr long PMC_E_ENCODE_TOOBIG = -211;
inline constexpr long PMC_E_NOSPLIT = -212;
inline constexpr long PMC_E_SECURITY = -214;
inline constexpr long PMC_E_DECODE = -250;
inline constexpr long PMC_E_REQID = -251;
inline constexpr long PMC_E_INDEX = -401;

// Writes a result code through an optional out-parameter.
inline void set_result(long* out, long code) {
    if (out) *out = code;
}

}  // namespace devlink
