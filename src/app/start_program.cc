#include "app/start_program.h"

#include "app/main_window.h"
#include "app/result_pieces.h"
#include "runtime/window_services.h"

namespace mvsearch {

int start_program() {
  runtime_init();
  result_pieces = TextArray();
  register_exit_routine(release_result_pieces);
  load_window(main_window_description());
  run_message_loop();
  return 0;
}

}  // namespace mvsearch
