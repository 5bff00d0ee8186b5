// --trace: every report written to and read from the controller, as hex with
// the decoded command, on a stream of the caller's choice. A report that was
// not the reply the link waited for is marked stale; a read away before a
// write that finds nothing shows no line.
//
// The trace is the link's report observer (SetReportTrace): the link tells
// it of each report as the HID library took or gave it; what goes on the
// wire does not change.
#pragma once

#include <ostream>

namespace lumora::cli {

// Starts tracing to out; nullptr stops.
void SetTrace(std::ostream* out);

}  // namespace lumora::cli
