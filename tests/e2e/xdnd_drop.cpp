// Drag source of the end-to-end scripts, as a file manager is: `xdnd_drop WINDOW X Y FILE`
// offers FILE as text/uri-list and drops it at (X, Y) of the top-level X window WINDOW, holding
// the pointer there meanwhile. Exit status 0 when the window took the drop (it asked for the
// data), 1 when it refused the drag or the drop.
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

Display* display;
Window source, target;
bool asked = false;

void send(const char* message, long l1, long l2, long l3, long l4) {
    XEvent event{};
    event.xclient = {
        ClientMessage, 0, True, display, target, XInternAtom(display, message, False), 32, {}};
    const long data[5] = {static_cast<long>(source), l1, l2, l3, l4};
    std::copy(data, data + 5, event.xclient.data.l);
    XSendEvent(display, target, False, NoEventMask, &event);
}

// The second value of the target's `message`, waited for up to five seconds (-1 if it never
// came), meanwhile handing the data to whoever asks for it.
long await(const char* message, const std::string& data) {
    for (int tries = 0; tries < 500; ++tries, usleep(10000)) {
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            if (e.type == ClientMessage &&
                e.xclient.message_type == XInternAtom(display, message, False))
                return e.xclient.data.l[1];
            if (e.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& r = e.xselectionrequest;
            XChangeProperty(display, r.requestor, r.property, r.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size()));
            XEvent reply{};
            reply.xselection = {SelectionNotify, 0,        True,       display, r.requestor,
                                r.selection,     r.target, r.property, r.time};
            XSendEvent(display, r.requestor, False, NoEventMask, &reply);
            asked = true;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || (display = XOpenDisplay(nullptr)) == nullptr)
        return 2;
    const Window root = DefaultRootWindow(display);
    target = std::strtoul(argv[1], nullptr, 0);
    int x, y;
    Window child;
    XTranslateCoordinates(display, target, root, std::atoi(argv[2]), std::atoi(argv[3]), &x, &y,
                          &child);
    source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "XdndSelection", False), source, CurrentTime);
    XWarpPointer(display, None, root, 0, 0, 0, 0, x, y);
    XGrabPointer(display, root, False, ButtonReleaseMask, GrabModeAsync, GrabModeAsync, None, None,
                 CurrentTime);
    const std::string data = std::string("file://") + argv[4] + "\r\n";
    send("XdndEnter", 5L << 24, XInternAtom(display, "text/uri-list", False), 0, 0);
    send("XdndPosition", 0, (static_cast<long>(x) << 16) | y, CurrentTime,
         XInternAtom(display, "XdndActionCopy", False));
    const long status = await("XdndStatus", data);
    if (status >= 0 && (status & 1) != 0) {
        send("XdndDrop", 0, CurrentTime, 0, 0);
        await("XdndFinished", data);
    }
    if (!asked)
        std::cerr << "xdnd_drop: the window refused the drop\n";
    return asked ? 0 : 1;
}
