// A window manager that never gives any window the focus, for the end-to-end
// test of a meter that must place itself without it. It maps windows and
// applies their own move and resize requests, names the usual desktop hints
// (so programs ask it to activate a window rather than take the focus
// themselves), and ignores every such request. Runs until its display goes.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return a;
}

template <typename T>
void setProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                 const std::vector<T>& values) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 8 * sizeof(T),
                      static_cast<std::uint32_t>(values.size()), values.data());
}

// The fields of a configure request, in the order xcb_configure_window takes them.
void applyConfigureRequest(xcb_connection_t* c, const xcb_configure_request_event_t& e) {
  std::vector<std::uint32_t> values;
  const std::uint16_t mask = e.value_mask;
  if (mask & XCB_CONFIG_WINDOW_X) values.push_back(static_cast<std::uint32_t>(e.x));
  if (mask & XCB_CONFIG_WINDOW_Y) values.push_back(static_cast<std::uint32_t>(e.y));
  if (mask & XCB_CONFIG_WINDOW_WIDTH) values.push_back(e.width);
  if (mask & XCB_CONFIG_WINDOW_HEIGHT) values.push_back(e.height);
  if (mask & XCB_CONFIG_WINDOW_BORDER_WIDTH) values.push_back(e.border_width);
  if (mask & XCB_CONFIG_WINDOW_SIBLING) values.push_back(e.sibling);
  if (mask & XCB_CONFIG_WINDOW_STACK_MODE) values.push_back(e.stack_mode);
  xcb_configure_window(c, e.window, mask, values.data());
}

}  // namespace

int main() {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "no display\n");
    return 1;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
  const xcb_window_t root = screens.data->root;

  const std::uint32_t events =
      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  if (xcb_generic_error_t* error = xcb_request_check(
          c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &events))) {
    std::free(error);
    std::fprintf(stderr, "another window manager is running\n");
    return 1;
  }

  // The hints that say a window manager runs and takes activation requests.
  const xcb_window_t check = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, check, root, -1, -1, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_atom_t supportingCheck = atom(c, "_NET_SUPPORTING_WM_CHECK");
  const xcb_atom_t activeWindow = atom(c, "_NET_ACTIVE_WINDOW");
  const xcb_atom_t wmName = atom(c, "_NET_WM_NAME");
  const char name[] = "tarnvale-nofocus";
  setProperty(c, check, wmName, atom(c, "UTF8_STRING"),
              std::vector<char>(name, name + sizeof name - 1));
  setProperty(c, check, supportingCheck, XCB_ATOM_WINDOW, std::vector<xcb_window_t>{check});
  setProperty(c, root, activeWindow, XCB_ATOM_WINDOW, std::vector<xcb_window_t>{XCB_NONE});
  setProperty(
      c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM,
      std::vector<xcb_atom_t>{atom(c, "_NET_SUPPORTED"), supportingCheck, activeWindow, wmName});
  setProperty(c, root, supportingCheck, XCB_ATOM_WINDOW, std::vector<xcb_window_t>{check});
  // Nothing has the keyboard, and nothing ever will.
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_NONE, XCB_NONE, XCB_CURRENT_TIME);
  xcb_flush(c);

  while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
    switch (event->response_type & 0x7F) {
      case XCB_MAP_REQUEST:
        xcb_map_window(c, reinterpret_cast<xcb_map_request_event_t*>(event)->window);
        break;
      case XCB_CONFIGURE_REQUEST:
        applyConfigureRequest(c, *reinterpret_cast<xcb_configure_request_event_t*>(event));
        break;
      default:  // activation requests among them
        break;
    }
    std::free(event);
    xcb_flush(c);
  }
  xcb_disconnect(c);
  return 0;
}
