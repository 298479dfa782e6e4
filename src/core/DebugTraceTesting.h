// Test access to the process-wide trace state. Not for use by the program.
#pragma once

// Forgets the latched switches, the last writer, the log path and the ini cache, as if the
// process had just started. Lets one test binary cover the first-record and latching behaviour
// more than once.
void ResetDebugTraceForTesting();
