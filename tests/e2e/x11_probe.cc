// mvsearch-x11-probe: what the black-box test, the screenshot script and the startup
// benchmark need from the X server beyond xdotool. Coordinates are relative to the window.
//
//   wait-window PID TIMEOUT_MS        the id of PID's mapped top-level window, once it is there
//   launch TIMEOUT_MS -- PROGRAM ARGS starts PROGRAM, prints "PID WINDOW MS" once its window is
//                                     mapped (MS: from the start to the map); PROGRAM goes on
//   close WINDOW                      asks the window to close, as a window manager's close box
//   bands WINDOW X Y W H              the pixel rows of dark text in the rectangle, as
//                                     "TOP BOTTOM" lines, one per line of text
//   count WINDOW X Y W H COLOUR       the number of pixels of a colour: dark (text), red, light
//   popup                             "WINDOW X Y W H" of a mapped pop-up (override-redirect)
//                                     window, such as an open menu; exit code 1 when none
//   clip TEXT TIMEOUT_MS              owns the clipboard with TEXT (UTF-8) until a client has
//                                     read it once, or the time is up
//
// Exit code 0 on success, 1 when the thing waited for did not come, 2 on bad use.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreer {
  void operator()(void* data) const { XFree(data); }
};

struct ImageDestroyer {
  void operator()(XImage* image) const { XDestroyImage(image); }
};

// An X error (a window that went away meanwhile, say) must not end the probe.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

DisplayPtr open_display() {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "mvsearch-x11-probe: cannot open display \"%s\"\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    std::exit(2);
  }
  XSetErrorHandler(ignore_errors);
  return display;
}

std::optional<long> to_number(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 0);
  if (end == text || *end != '\0') return std::nullopt;
  return value;
}

std::optional<pid_t> window_pid(Display* display, Window window) {
  const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<unsigned char, XFreer> owner(data);
  if (type != XA_CARDINAL || format != 32 || count != 1) return std::nullopt;
  return static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
}

std::optional<pid_t> parent_pid(pid_t pid) {
  std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
  if (file == nullptr) return std::nullopt;
  char line[1024] = {};
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  // "PID (NAME) STATE PPID ...": the name may hold spaces and parentheses.
  const char* close = read ? std::strrchr(line, ')') : nullptr;
  int parent = 0;
  if (close == nullptr || std::sscanf(close + 1, " %*c %d", &parent) != 1) return std::nullopt;
  return static_cast<pid_t>(parent);
}

// A mapped top-level window of the process, or of a child of it (a wrapper such as
// faketime starts the program as its child). Menus and tool tips are override-redirect
// and do not count.
bool is_main_window(Display* display, Window window, pid_t pid) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  if (attributes.map_state != IsViewable || attributes.override_redirect) return false;
  if (attributes.width < 100 || attributes.height < 100) return false;
  const std::optional<pid_t> owner = window_pid(display, window);
  return owner && (*owner == pid || parent_pid(*owner) == pid);
}

std::vector<Window> top_level_windows(Display* display) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> windows;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0 &&
      children != nullptr) {
    windows.assign(children, children + count);
    XFree(children);
  }
  return windows;
}

std::optional<Window> find_main_window(Display* display, pid_t pid) {
  for (const Window window : top_level_windows(display)) {
    if (is_main_window(display, window, pid)) return window;
  }
  return std::nullopt;
}

// Waits for the window without polling: the root's map events are selected before the
// first look, so a map between the look and the wait is not missed.
std::optional<Window> wait_for_window(Display* display, pid_t pid, Clock::time_point deadline) {
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  if (auto found = find_main_window(display, pid)) return found;
  const int fd = ConnectionNumber(display);
  while (true) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && is_main_window(display, event.xmap.window, pid)) {
        return event.xmap.window;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd waiting{fd, POLLIN, 0};
    poll(&waiting, 1, static_cast<int>(left.count()));
  }
}

int wait_window(int argc, char** argv) {
  if (argc != 4) return 2;
  const auto pid = to_number(argv[2]);
  const auto timeout = to_number(argv[3]);
  if (!pid || !timeout) return 2;
  const DisplayPtr display = open_display();
  const auto window = wait_for_window(display.get(), static_cast<pid_t>(*pid),
                                      Clock::now() + std::chrono::milliseconds(*timeout));
  if (!window) return 1;
  std::printf("%lu\n", *window);
  return 0;
}

int launch(int argc, char** argv) {
  if (argc < 5 || std::string_view(argv[3]) != "--") return 2;
  const auto timeout = to_number(argv[2]);
  if (!timeout) return 2;
  const DisplayPtr display = open_display();
  XSelectInput(display.get(), DefaultRootWindow(display.get()), SubstructureNotifyMask);
  XSync(display.get(), False);
  std::fflush(stdout);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    close(ConnectionNumber(display.get()));
    // The caller reads our output to its end: the program must not hold it open.
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execvp(argv[4], argv + 4);
    std::perror(argv[4]);
    _exit(127);
  }
  const auto window =
      wait_for_window(display.get(), child, start + std::chrono::milliseconds(*timeout));
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!window) {
    std::printf("%d 0 %.1f\n", static_cast<int>(child), ms);
    return 1;
  }
  std::printf("%d %lu %.1f\n", static_cast<int>(child), *window, ms);
  return 0;
}

int close_window(int argc, char** argv) {
  if (argc != 3) return 2;
  const auto window = to_number(argv[2]);
  if (!window) return 2;
  const DisplayPtr display = open_display();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<Window>(*window);
  event.xclient.message_type = XInternAtom(display.get(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] =
      static_cast<long>(XInternAtom(display.get(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display.get(), static_cast<Window>(*window), False, NoEventMask, &event);
  XSync(display.get(), False);
  return 0;
}

struct Rect {
  int x, y, width, height;
};

std::optional<Rect> parse_rect(char** argv) {
  const auto x = to_number(argv[0]);
  const auto y = to_number(argv[1]);
  const auto w = to_number(argv[2]);
  const auto h = to_number(argv[3]);
  if (!x || !y || !w || !h || *w <= 0 || *h <= 0) return std::nullopt;
  return Rect{static_cast<int>(*x), static_cast<int>(*y), static_cast<int>(*w),
              static_cast<int>(*h)};
}

enum class Colour { dark, red, light };

bool matches(unsigned long pixel, const XImage& image, Colour colour) {
  const auto channel = [&](unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
      mask >>= 1;
      ++shift;
    }
    return static_cast<int>(((pixel >> shift) & mask) * 255 / (mask == 0 ? 1 : mask));
  };
  const int r = channel(image.red_mask);
  const int g = channel(image.green_mask);
  const int b = channel(image.blue_mask);
  switch (colour) {
    case Colour::dark:
      return (299 * r + 587 * g + 114 * b) / 1000 < 80;
    case Colour::red:
      return r > 180 && g < 90 && b < 90;
    case Colour::light:
      return r > 235 && g > 235 && b > 235;
  }
  return false;
}

std::unique_ptr<XImage, ImageDestroyer> grab(Display* display, Window window, const Rect& rect) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) return nullptr;
  // Clip to the window, so that a partly outside rectangle still gives its visible part.
  const int x = std::max(0, rect.x);
  const int y = std::max(0, rect.y);
  const int right = std::min(attributes.width, rect.x + rect.width);
  const int bottom = std::min(attributes.height, rect.y + rect.height);
  if (right <= x || bottom <= y) return nullptr;
  return std::unique_ptr<XImage, ImageDestroyer>(
      XGetImage(display, window, x, y, static_cast<unsigned>(right - x),
                static_cast<unsigned>(bottom - y), AllPlanes, ZPixmap));
}

int bands(int argc, char** argv) {
  if (argc != 7) return 2;
  const auto window = to_number(argv[2]);
  const auto rect = parse_rect(argv + 3);
  if (!window || !rect) return 2;
  const DisplayPtr display = open_display();
  const auto image = grab(display.get(), static_cast<Window>(*window), *rect);
  if (!image) return 1;
  // Glyphs leave small gaps inside one line of text (between the strokes of 二, say);
  // lines of a list are further apart than this.
  constexpr int kLargestGapInALine = 4;
  int top = -1;
  int last_ink = -1;
  const int y0 = std::max(0, rect->y);
  for (int y = 0; y < image->height; ++y) {
    bool ink = false;
    for (int x = 0; x < image->width && !ink; ++x) {
      ink = matches(XGetPixel(image.get(), x, y), *image, Colour::dark);
    }
    if (!ink) continue;
    if (top >= 0 && y - last_ink > kLargestGapInALine) {
      std::printf("%d %d\n", y0 + top, y0 + last_ink);
      top = -1;
    }
    if (top < 0) top = y;
    last_ink = y;
  }
  if (top >= 0) std::printf("%d %d\n", y0 + top, y0 + last_ink);
  return 0;
}

int count(int argc, char** argv) {
  if (argc != 8) return 2;
  const auto window = to_number(argv[2]);
  const auto rect = parse_rect(argv + 3);
  const std::string_view name = argv[7];
  if (!window || !rect || (name != "dark" && name != "red" && name != "light")) return 2;
  const Colour colour = name == "dark" ? Colour::dark : name == "red" ? Colour::red : Colour::light;
  const DisplayPtr display = open_display();
  const auto image = grab(display.get(), static_cast<Window>(*window), *rect);
  long total = 0;
  if (image) {
    for (int y = 0; y < image->height; ++y) {
      for (int x = 0; x < image->width; ++x) {
        total += matches(XGetPixel(image.get(), x, y), *image, colour) ? 1 : 0;
      }
    }
  }
  std::printf("%ld\n", total);
  return 0;
}

int popup(int argc, char**) {
  if (argc != 2) return 2;
  const DisplayPtr display = open_display();
  for (const Window window : top_level_windows(display.get())) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display.get(), window, &attributes) != 0 &&
        attributes.map_state == IsViewable && attributes.override_redirect &&
        attributes.width > 1 && attributes.height > 1) {
      std::printf("%lu %d %d %d %d\n", window, attributes.x, attributes.y, attributes.width,
                  attributes.height);
      return 0;
    }
  }
  return 1;
}

int clip(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string text = argv[2];
  const auto timeout = to_number(argv[3]);
  if (!timeout) return 2;
  const DisplayPtr display = open_display();
  Display* d = display.get();
  const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  const Atom targets = XInternAtom(d, "TARGETS", False);
  XSetSelectionOwner(d, clipboard, owner, CurrentTime);
  if (XGetSelectionOwner(d, clipboard) != owner) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(*timeout);
  const int fd = ConnectionNumber(d);
  while (true) {
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      if (event.type == SelectionClear) return 1;
      if (event.type != SelectionRequest) continue;
      const XSelectionRequestEvent& request = event.xselectionrequest;
      XEvent reply{};
      reply.xselection.type = SelectionNotify;
      reply.xselection.requestor = request.requestor;
      reply.xselection.selection = request.selection;
      reply.xselection.target = request.target;
      reply.xselection.time = request.time;
      reply.xselection.property = None;
      bool served = false;
      const Atom property = request.property == None ? request.target : request.property;
      if (request.target == targets) {
        const Atom offered[] = {targets, utf8};
        XChangeProperty(d, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 2);
        reply.xselection.property = property;
      } else if (request.target == utf8 || request.target == XA_STRING) {
        XChangeProperty(d, request.requestor, property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        reply.xselection.property = property;
        served = request.target == utf8;
      }
      XSendEvent(d, request.requestor, False, NoEventMask, &reply);
      XSync(d, False);
      if (served) return 0;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 1;
    pollfd waiting{fd, POLLIN, 0};
    poll(&waiting, 1, static_cast<int>(left.count()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  int rc = 2;
  if (command == "wait-window")
    rc = wait_window(argc, argv);
  else if (command == "launch")
    rc = launch(argc, argv);
  else if (command == "close")
    rc = close_window(argc, argv);
  else if (command == "bands")
    rc = bands(argc, argv);
  else if (command == "count")
    rc = count(argc, argv);
  else if (command == "popup")
    rc = popup(argc, argv);
  else if (command == "clip")
    rc = clip(argc, argv);
  if (rc == 2)
    std::fprintf(stderr, "mvsearch-x11-probe: bad use; see the comment in x11_probe.cc\n");
  return rc;
}
