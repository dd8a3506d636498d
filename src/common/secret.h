// The reversible encoding of secure-print PINs and box keys, used when the printer's
// capability bit 0x10000 is set: the bytes XOR-ed with the key "kdmb" repeated from
// the start, then base64 (standard alphabet, "=" padding).
#pragma once

#include "platform/win32.h"

constexpr DWORD CAPABILITY_ENCODED_SECRETS = 0x00010000;
constexpr DWORD SECRET_DECODED_BUFFER = 64;  // the decoder's output buffer
constexpr DWORD SECRET_DECODE_LIMIT = 89;    // most bytes the base64 text may decode to

// Encode (UI): the output needs 4 * ceil(n / 3) + 1 bytes for n input bytes; false when cbOut
// is smaller or an argument is null.
bool EncodeSecret(LPCSTR pszPlain, LPSTR pszOut, DWORD cbOut);
// Decode: an empty input gives an empty output. False (output empty) for malformed base64, for
// more than 89 decoded bytes, or when the result and its terminator do not fit cbOut.
bool DecodeSecret(LPCSTR pszEncoded, LPSTR pszOut, DWORD cbOut = SECRET_DECODED_BUFFER);
// A stored secret (wide printer data text, e.g. OEMSecurePrintPIN) as 8-bit text: decoded when
// bEncoded (the caller passes the capability test of bit 0x10000), else converted as it is
// (ANSI code page). False with an empty output when it cannot be had.
bool GetStoredSecret(LPCWSTR pszStored, bool bEncoded, LPSTR pszOut, DWORD cbOut = SECRET_DECODED_BUFFER);
