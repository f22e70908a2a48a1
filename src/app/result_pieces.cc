#include "app/result_pieces.h"

namespace mvsearch {

TextArray result_pieces;

void release_result_pieces() {
  result_pieces.clear();
  result_pieces = TextArray();
}

}  // namespace mvsearch
