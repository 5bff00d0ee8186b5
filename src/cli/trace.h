// --trace: every report written to and read from the controller, as hex with
// the decoded command, on a stream of the caller's choice. A report that was
// not the reply the link waited for is marked stale; a read away before a
// write that finds nothing shows no line.
//
// The trace sits at the HID library boundary: the CLI is linked with
// --wrap=hid_write and --wrap=hid_read_timeout, so the link's own calls pass
// through here unchanged on their way to the library.
#pragma once

#include <ostream>

namespace lumora::cli {

// Starts tracing to out; nullptr stops.
void SetTrace(std::ostream* out);

}  // namespace lumora::cli
