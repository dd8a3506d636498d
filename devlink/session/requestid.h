// The process-wide request-id counter: every request encoded for sending takes the next value.
#pragma once

namespace devlink {

// The first call of the process answers 0; the counter is shared by all threads.
long pms_next_request_id();

}  // namespace devlink
