// The promotion label and page: shown and opened once at start from a fixed moment on,
// and opened again on each click of the label.
#pragma once

#include <cstdint>
#include <string_view>

namespace mvsearch {

// Local 2020-08-05 14:00:00, counted as timestamp_text counts; the promotion starts one
// second later.
inline constexpr std::int32_t PROMO_START_TIME = 1596607200;

// Set at build time from the MVSEARCH_PROMO_PAGE_ADDRESS cache variable.
inline constexpr std::string_view PROMO_PAGE_ADDRESS = MVSEARCH_PROMO_PAGE_ADDRESS;

// Handler of main_window's created event, before the window is first shown.
void on_main_window_created();
void open_promo_page();
// Handler of a left click on the promotion label.
void on_promo_label_clicked();

}  // namespace mvsearch
