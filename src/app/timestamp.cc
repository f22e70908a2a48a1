#include "app/timestamp.h"

#include "platform/local_time.h"
#include "runtime/date_time.h"
#include "runtime/number_text.h"
#include "runtime/text_ops.h"

namespace mvsearch {

Text timestamp_text(Optional<bool> seconds_only) {
  SystemTime now{};
  GetLocalTime(&now);
  const int milliseconds = now.milliseconds;
  const Text ms = repeat_text(3 - text_length(to_text(milliseconds)), "0") + to_text(milliseconds);
  // A local moment on both sides: the number is Unix time only where the clock runs at
  // UTC+8.
  const Text secs =
      to_text(time_difference(current_time(), to_time("1970-01-01 08:00:00"), TIME_UNIT_SECONDS));
  const Text t = secs + ms;
  Text r;
  if (seconds_only.value()) {
    r = text_left(t, 10);
    while (text_length(r) < 10) r += "0";
  } else {
    r = t;
    while (text_length(r) < 13) r += "0";
  }
  return r;
}

}  // namespace mvsearch
