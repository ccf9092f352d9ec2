#include "tools/session/FrameCounter.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <set>

namespace session {

namespace {

// The game's window may go away at any time (the game ends, or crashes); the server
// then drops the damage object, and requests on it fail. Such errors on the counter's
// own connections are expected, and Xlib's default handler would end the process.
std::set<Display*> counterDisplays;
XErrorHandler otherHandler = nullptr;

int ignoreCounterErrors(Display* dpy, XErrorEvent* error)
{
    if (counterDisplays.count(dpy) || !otherHandler)
        return 0;
    return otherHandler(dpy, error);
}

} // namespace

FrameCounter::FrameCounter(const std::string& display, unsigned long window)
{
    Display* dpy = XOpenDisplay(display.c_str());
    int errorBase = 0;
    if (!dpy)
        return;
    counterDisplays.insert(dpy);
    XErrorHandler previous = XSetErrorHandler(ignoreCounterErrors);
    if (previous != ignoreCounterErrors)
        otherHandler = previous;
    if (!XDamageQueryExtension(dpy, &eventBase_, &errorBase)) {
        counterDisplays.erase(dpy);
        XCloseDisplay(dpy);
        return;
    }
    // One report each time the damage goes from none to some; frames() clears it.
    damage_ = XDamageCreate(dpy, Window(window), XDamageReportNonEmpty);
    XSync(dpy, False);
    display_ = dpy;
}

FrameCounter::~FrameCounter()
{
    if (!display_)
        return;
    // Closing the connection frees the damage object, if the window still had one.
    Display* dpy = static_cast<Display*>(display_);
    XCloseDisplay(dpy);
    counterDisplays.erase(dpy);
}

long FrameCounter::frames()
{
    if (!display_)
        return -1;
    Display* dpy = static_cast<Display*>(display_);
    while (XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == eventBase_ + XDamageNotify) {
            ++count_;
            XDamageSubtract(dpy, damage_, None, None);
        }
    }
    return count_;
}

} // namespace session
