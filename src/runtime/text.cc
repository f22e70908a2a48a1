#include "runtime/text.h"

#include "runtime/fatal_error.h"
#include "runtime/number_text.h"

namespace mvsearch {

std::size_t TextArray::checked(int index) const {
  if (index < 1) {
    fatal_error(ERROR_INDEX_BELOW_ONE, "array index " + to_text(index) + " is below 1");
  }
  if (index > size()) {
    fatal_error(ERROR_INDEX_ABOVE_SIZE,
                "array index " + to_text(index) + " is above the array size " + to_text(size()));
  }
  return static_cast<std::size_t>(index - 1);
}

}  // namespace mvsearch
