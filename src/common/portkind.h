// Which printer ports are local: their printer's own status data, not a network query,
// tells its installed options.
#pragma once

#include "platform/win32.h"

// "LPT", digits and a colon; or "USB", at most three digits, then the end or a comma.
bool IsLocalPort(LPCWSTR pszPort);
