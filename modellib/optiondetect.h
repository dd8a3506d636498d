// Which installable options the printer has: from the printer's own "LM_" data, or asked
// live through the device-query library.
#pragma once

// The detection routine of both models (function 1003).
void DetectDeviceOptions(void* pRequest, void* pResult);
