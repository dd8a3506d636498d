// The host programs take part in the driver's common core as a plug-in does: their own
// resources name the driver key and the model library, and their module directory is the
// driver directory, so the model-library binding finds modellib there.
#pragma once

#include <string>

// The directory holding the deliverables: $LUMENO_DRIVER_DIR, else ../driver beside the
// program (the build tree's layout). Always ends in a separator.
std::string DriverDirectory();

// Starts the common core for the running program; false when it cannot start.
bool StartHostCore();
void StopHostCore();
