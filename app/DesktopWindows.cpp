#include "DesktopWindows.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace DesktopWindows {

#if QT_CONFIG(xcb)
namespace {

xcb_connection_t *connection()
{
    auto *app = qGuiApp;
    if (!app)
        return nullptr;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

QString property(xcb_connection_t *c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, bool utf8)
{
    if (prop == XCB_ATOM_NONE)
        return QString();
    xcb_get_property_reply_t *r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, prop, type, 0, 1024), nullptr);
    QString out;
    if (r && r->format == 8) {
        const char *data = static_cast<const char *>(xcb_get_property_value(r));
        const int len = xcb_get_property_value_length(r);
        out = utf8 ? QString::fromUtf8(data, len) : QString::fromLatin1(data, len);
    }
    std::free(r);
    return out;
}

bool viewable(xcb_connection_t *c, xcb_window_t w)
{
    xcb_get_window_attributes_reply_t *r = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool on = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return on;
}

QList<xcb_window_t> children(xcb_connection_t *c, xcb_window_t w)
{
    QList<xcb_window_t> out;
    xcb_query_tree_reply_t *r = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (r) {
        const xcb_window_t *kids = xcb_query_tree_children(r);
        for (int i = 0; i < xcb_query_tree_children_length(r); ++i)
            out << kids[i];
    }
    std::free(r);
    return out;
}

} // namespace
#endif

bool visible()
{
#if QT_CONFIG(xcb)
    return connection() != nullptr;
#else
    return false;
#endif
}

bool anyTitled(const QString &text)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *c = connection();
    if (!c || text.isEmpty())
        return false;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    // A closed window is gone; a hidden one is still in the tree but not viewable.
    auto titled = [&](xcb_window_t w) {
        return (property(c, w, netName, utf8, true).contains(text)
                || property(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, false).contains(text))
               && viewable(c, w);
    };
    for (xcb_screen_iterator_t s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        // Top-level windows are the root's children, or, under a window manager that frames
        // them, the children of those frames.
        for (xcb_window_t top : children(c, s.data->root)) {
            if (titled(top))
                return true;
            for (xcb_window_t inner : children(c, top))
                if (titled(inner))
                    return true;
        }
    }
#else
    Q_UNUSED(text)
#endif
    return false;
}

} // namespace DesktopWindows
