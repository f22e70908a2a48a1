// result_pieces: the pieces of the last search result page, kept from one search to the
// next for the download commands.
//
// Piece 1 is the page in front of the first result; row r of the result list (from 0)
// shows the title cut from piece r + 2.
#pragma once

#include "runtime/text.h"

namespace mvsearch {

extern TextArray result_pieces;

// The exit routine: releases every piece, then the array.
void release_result_pieces();

}  // namespace mvsearch
