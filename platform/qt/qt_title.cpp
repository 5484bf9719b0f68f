// What the view tells an X11 window manager directly: the icon name of a top-level
// window (what task bars and window lists show for the program, apart from the
// window's caption), and that a window without a close box may still be closed.
#include <QGuiApplication>
#include <QWidget>

#include "platform/qt/view_internal.h"

#ifdef TOLVANE_HAVE_XCB
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif

namespace qt {

#ifdef TOLVANE_HAVE_XCB
namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The connection when the program runs on X11, else null.
xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return x11->connection();
}

}  // namespace
#endif

void allowX11Close(QWidget* window) {
#ifdef TOLVANE_HAVE_XCB
    xcb_connection_t* c = window ? x11Connection() : nullptr;
    if (!c) return;
    static const xcb_atom_t motifHints = internAtom(c, "_MOTIF_WM_HINTS");
    if (motifHints == XCB_ATOM_NONE) return;
    // Flags (functions and decorations given), functions (move, close), decorations
    // (border and title: no buttons), input mode, status.
    const std::uint32_t hints[5] = {0x1 | 0x2, 0x04 | 0x20, 0x02 | 0x08, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), motifHints, motifHints,
                        32, 5, hints);
    xcb_flush(c);
#else
    (void)window;
#endif
}

void setX11IconName(QWidget* window, const std::string& name) {
    if (!window) return;
    window->setWindowIconText(toQString(name));
#ifdef TOLVANE_HAVE_XCB
    xcb_connection_t* c = x11Connection();
    if (!c) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    static const xcb_atom_t netIconName = internAtom(c, "_NET_WM_ICON_NAME");
    static const xcb_atom_t utf8String = internAtom(c, "UTF8_STRING");
    if (netIconName != XCB_ATOM_NONE && utf8String != XCB_ATOM_NONE) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, netIconName, utf8String, 8,
                            static_cast<std::uint32_t>(name.size()), name.data());
    }
    // The old property is Latin-1; characters outside it become '?'.
    const QByteArray latin1 = toQString(name).toLatin1();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_ICON_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(latin1.size()), latin1.constData());
    xcb_flush(c);
#endif
}

}  // namespace qt
