// Whether Qt can show a window here, found out before Qt starts: Qt ends the process when none
// of its platform plugins can connect. The platforms are the ones Qt would try, in its order
// (QT_QPA_PLATFORM, or Wayland where the session names one and then X11), and the display
// servers are asked themselves (xcb_connect, wl_display_connect); for the framebuffer
// platform, whose Qt plugin crashes without one, the device is opened as Qt opens it.
#pragma once

#include <memory>
#include <string>

struct QtDisplay {
    enum State {
        NoneNamed,      // neither DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM is set
        Unreachable,    // named, but none of the platforms Qt would try can connect
        ShowsNothing,   // a platform that draws where nobody sees (offscreen, minimal)
        Opens,
    } State;
    std::string Why;    // for every state but Opens
    // The probe's own connection to the X server, to be let go once Qt has connected: a server
    // whose last client leaves resets, and refuses connections meanwhile (a bare Xvfb).
    std::shared_ptr<void> Held;
};

QtDisplay ProbeQtDisplay();
