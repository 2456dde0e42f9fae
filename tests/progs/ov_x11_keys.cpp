// X11 keyboard chores for the hot-key tests, on the display named by DISPLAY:
//   ov_x11_keys grab          holds Ctrl+Alt+Q (without lock bits) until standard
//                             input closes; prints "grabbed" or "refused"
//   ov_x11_keys numlock-mod N moves Num_Lock to modifier ModN (1..5); prints
//                             "moved" or "failed"
//   ov_x11_keys q-key on|off  maps the Q key's keycode back to Q, or to F35
//                             (a keyboard without Q, as a layout switch can
//                             make it); prints "mapped" or "failed"
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<xcb_keycode_t> keycodesOf(xcb_connection_t* c, xcb_keysym_t keysym)
{
    std::vector<xcb_keycode_t> codes;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    if (!symbols)
        return codes;
    if (xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym)) {
        for (xcb_keycode_t* code = found; *code != XCB_NO_SYMBOL; ++code)
            codes.push_back(*code);
        std::free(found);
    }
    xcb_key_symbols_free(symbols);
    return codes;
}

int grab(xcb_connection_t* c, xcb_window_t root)
{
    const std::vector<xcb_keycode_t> codes = keycodesOf(c, 'q');
    bool ok = !codes.empty();
    for (const xcb_keycode_t code : codes) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 0, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, code, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            ok = false;
            std::free(error);
        }
    }
    std::puts(ok ? "grabbed" : "refused");
    std::fflush(stdout);
    // Hold the grab (and the connection) until told to go.
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
    }
    return ok ? 0 : 1;
}

int moveNumLock(xcb_connection_t* c, int target)
{
    const std::vector<xcb_keycode_t> numLock = keycodesOf(c, 0xff7f);
    xcb_get_modifier_mapping_reply_t* reply = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (!reply || numLock.empty() || target < 1 || target > 5) {
        std::free(reply);
        std::puts("failed");
        return 1;
    }
    const int per = reply->keycodes_per_modifier;
    const xcb_keycode_t* old = xcb_get_modifier_mapping_keycodes(reply);
    // Room for Num_Lock's codes beside what the target modifier holds.
    const int newPer = per + static_cast<int>(numLock.size());
    std::vector<xcb_keycode_t> codes(static_cast<size_t>(8 * newPer), 0);
    for (int mod = 0; mod < 8; ++mod) {
        int n = 0;
        for (int i = 0; i < per; ++i) {
            const xcb_keycode_t code = old[mod * per + i];
            bool isNumLock = false;
            for (const xcb_keycode_t k : numLock)
                isNumLock = isNumLock || k == code;
            if (code != 0 && !isNumLock)
                codes[static_cast<size_t>(mod * newPer + n++)] = code;
        }
        if (mod == target + 2)  // Mod1 is bit 3
            for (const xcb_keycode_t k : numLock)
                codes[static_cast<size_t>(mod * newPer + n++)] = k;
    }
    std::free(reply);
    xcb_set_modifier_mapping_reply_t* set = xcb_set_modifier_mapping_reply(
        c, xcb_set_modifier_mapping(c, static_cast<uint8_t>(newPer), codes.data()), nullptr);
    const bool ok = set && set->status == XCB_MAPPING_STATUS_SUCCESS;
    std::free(set);
    std::puts(ok ? "moved" : "failed");
    return ok ? 0 : 1;
}

// The keycode Q has on a standard keyboard (and on Xvfb's).
constexpr xcb_keycode_t kQKeycode = 24;

int mapQ(xcb_connection_t* c, bool on)
{
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, kQKeycode, 1), nullptr);
    if (!reply || reply->keysyms_per_keycode == 0) {
        std::free(reply);
        std::puts("failed");
        return 1;
    }
    const xcb_keysym_t keysym = on ? 'q' : 0xffd4;  // F35
    std::vector<xcb_keysym_t> keysyms(reply->keysyms_per_keycode, 0);
    keysyms[0] = keysym;
    if (keysyms.size() > 1)
        keysyms[1] = on ? 'Q' : keysym;
    const xcb_void_cookie_t cookie = xcb_change_keyboard_mapping_checked(
        c, 1, kQKeycode, reply->keysyms_per_keycode, keysyms.data());
    std::free(reply);
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    std::puts(error ? "failed" : "mapped");
    return error ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: ov_x11_keys grab | numlock-mod N | q-key on|off\n", stderr);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fputs("ov_x11_keys: cannot open the display\n", stderr);
        xcb_disconnect(c);
        return 2;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;

    int result = 2;
    if (std::strcmp(argv[1], "grab") == 0)
        result = grab(c, root);
    else if (std::strcmp(argv[1], "numlock-mod") == 0 && argc > 2)
        result = moveNumLock(c, std::atoi(argv[2]));
    else if (std::strcmp(argv[1], "q-key") == 0 && argc > 2)
        result = mapQ(c, std::strcmp(argv[2], "on") == 0);
    xcb_disconnect(c);
    return result;
}
