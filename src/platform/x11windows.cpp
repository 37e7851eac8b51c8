#include "platform/x11windows.h"

#include <QGuiApplication>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace Movendi::Platform {

namespace {

struct XcbConnection
{
    xcb_connection_t *c = nullptr;
    XcbConnection()
    {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            c = nullptr;
        }
    }
    ~XcbConnection()
    {
        if (c)
            xcb_disconnect(c);
    }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
};

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QString textProperty(xcb_connection_t *c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type)
{
    if (property == XCB_ATOM_NONE)
        return {};
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr),
        &std::free);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    const auto *data = static_cast<const char *>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    return type == XCB_ATOM_STRING ? QString::fromLatin1(data, length)
                                   : QString::fromUtf8(data, length);
}

QList<xcb_window_t> children(xcb_connection_t *c, xcb_window_t w)
{
    QList<xcb_window_t> list;
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr), &std::free);
    if (!tree)
        return list;
    const xcb_window_t *kids = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        list.append(kids[i]);
    return list;
}

} // namespace

bool runningOnX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QList<TopLevelWindow> x11TopLevelWindows()
{
    QList<TopLevelWindow> windows;
    XcbConnection x;
    if (!x.c)
        return windows;
    const xcb_atom_t netWmName = atom(x.c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(x.c, "UTF8_STRING");
    auto caption = [&](xcb_window_t w) {
        QString name = textProperty(x.c, w, netWmName, utf8);
        if (name.isEmpty())
            name = textProperty(x.c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        return name;
    };
    for (xcb_window_t w : children(x.c, x.root())) {
        QString name = caption(w);
        if (name.isEmpty()) {
            for (xcb_window_t inner : children(x.c, w)) {
                name = caption(inner);
                if (!name.isEmpty())
                    break;
            }
        }
        windows.append({w, name});
    }
    return windows;
}

bool x11WindowExists(quint32 id)
{
    XcbConnection x;
    if (!x.c)
        return false;
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
        xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, id), nullptr),
        &std::free);
    return reply != nullptr;
}

} // namespace Movendi::Platform
