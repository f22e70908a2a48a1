#include "app/promotion.h"

#include "app/main_window.h"
#include "app/timestamp.h"
#include "runtime/number_text.h"
#include "runtime/window_services.h"

namespace mvsearch {

void on_main_window_created() {
  const int n = to_int(timestamp_text(true));
  if (n > PROMO_START_TIME) {
    write_property(标签1, PROP_VISIBLE, true);
    open_promo_page();
  }
}

void open_promo_page() { open_url(PROMO_PAGE_ADDRESS); }

void on_promo_label_clicked() { open_promo_page(); }

}  // namespace mvsearch
