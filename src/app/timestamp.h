// timestamp_text: the current time as decimal digits, seconds and milliseconds.
#pragma once

#include "runtime/optional_arg.h"
#include "runtime/text.h"

namespace mvsearch {

// The whole seconds from 1970-01-01 08:00:00 to the local date and time, followed by the
// milliseconds as three digits: 13 digits, or with seconds_only true (omitted: false) the
// first 10 only; either form is padded on the right with "0" to its length. The seconds
// and the milliseconds come from two readings of the clock.
[[nodiscard]] Text timestamp_text(Optional<bool> seconds_only = {});

}  // namespace mvsearch
