#include "qt/QtDisplay.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#ifdef QUIL_HAVE_XCB
#include <xcb/xcb.h>
#endif
#ifdef QUIL_HAVE_WAYLAND
#include <wayland-client.h>
#endif

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The platforms Qt tries in turn, each a name with its arguments ("linuxfb:fb=/dev/fb1").
QStringList PlatformsQtTries() {
    const std::string forced = Env("QT_QPA_PLATFORM");
    if (!forced.empty()) return QString::fromStdString(forced).split(u';', Qt::SkipEmptyParts);
    QStringList names;
    if (!Env("WAYLAND_DISPLAY").empty() || Env("XDG_SESSION_TYPE") == "wayland") names.push_back(QStringLiteral("wayland"));
    names.push_back(QStringLiteral("xcb"));
    return names;
}

// Whether a platform plugin of that name is where Qt looks for one.
bool PluginInstalled(const std::string& name) {
    QStringList folders = {QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms")};
    for (const QString& path : QString::fromStdString(Env("QT_PLUGIN_PATH")).split(u':', Qt::SkipEmptyParts))
        folders << path + QStringLiteral("/platforms");
    if (const std::string own = Env("QT_QPA_PLATFORM_PLUGIN_PATH"); !own.empty()) folders << QString::fromStdString(own);
    // libqxcb.so, libqwayland-generic.so, qwindows.dll
    const QStringList pattern = {QStringLiteral("*q") + QString::fromStdString(name) + QStringLiteral("*")};
    for (const QString& folder : folders)
        if (!QDir(folder).entryList(pattern, QDir::Files).isEmpty()) return true;
    return false;
}

// Empty when path is a framebuffer that this user can draw on, otherwise why not.
std::string OpenFramebuffer(const std::string& path) {
#ifdef __linux__
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd == -1) return "cannot open the framebuffer " + path + ": " + std::strerror(errno);
    fb_fix_screeninfo info{};
    const bool framebuffer = ioctl(fd, FBIOGET_FSCREENINFO, &info) == 0;
    close(fd);
    if (framebuffer) return {};
    return path + " is not a framebuffer";
#else
    return "no framebuffer " + path + " on this system";
#endif
}

// Empty when the platform's display server answers, otherwise why not. An X connection that
// answered is left in held.
std::string Connect(const std::string& name, const QString& arguments, std::shared_ptr<void>& held) {
    // Qt's framebuffer platform crashes where it finds no framebuffer: the device must open for
    // reading and writing, as Qt opens it, and answer as a framebuffer does.
    if (name == "linuxfb") {
        QString device = QStringLiteral("/dev/fb0");
        for (const QString& argument : arguments.split(u':'))
            if (argument.startsWith(QStringLiteral("fb="))) device = argument.mid(3);
        return OpenFramebuffer(device.toStdString());
    }
#ifdef QUIL_HAVE_XCB
    if (name == "xcb") {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection) == 0) {
            held.reset(connection, [](void* c) { xcb_disconnect(static_cast<xcb_connection_t*>(c)); });
            return {};
        }
        xcb_disconnect(connection);
        const std::string display = Env("DISPLAY");
        return display.empty() ? "cannot open an X display: DISPLAY is not set"
                               : "cannot open the X display \"" + display + "\"";
    }
#endif
#ifdef QUIL_HAVE_WAYLAND
    if (std::string_view(name).starts_with("wayland")) {
        if (wl_display* display = wl_display_connect(nullptr)) {
            wl_display_disconnect(display);
            return {};
        }
        const std::string socket = Env("WAYLAND_DISPLAY");
        return "cannot connect to the Wayland display \"" + (socket.empty() ? std::string("wayland-0") : socket) + "\"";
    }
#endif
    return {};
}

}  // namespace

QtDisplay ProbeQtDisplay() {
    if (Env("DISPLAY").empty() && Env("WAYLAND_DISPLAY").empty() && Env("QT_QPA_PLATFORM").empty())
        return {QtDisplay::NoneNamed, "no display: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are not set", {}};
    std::string failures;
    for (const QString& platform : PlatformsQtTries()) {
        const std::string name = platform.section(u':', 0, 0).toStdString();
        std::shared_ptr<void> held;
        std::string why = PluginInstalled(name) ? Connect(name, platform.section(u':', 1), held)
                                                : "Qt has no platform plugin \"" + name + "\"";
        if (why.empty()) {
            if (name == "offscreen" || name == "minimal")
                return {QtDisplay::ShowsNothing, "QT_QPA_PLATFORM=" + name + " shows the window to nobody", {}};
            return {QtDisplay::Opens, {}, held};
        }
        failures += (failures.empty() ? "" : "; ") + why;
    }
    if (failures.empty()) failures = "QT_QPA_PLATFORM names no platform";
    return {QtDisplay::Unreachable, failures, {}};
}
