#pragma once
// A clipboard manager stand-in on its own X connection and thread, for the
// hand-over of the clipboard when its owner exits. Include after gtest (Xlib's
// macros break its headers).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vobu::testing {

// A clipboard manager after the freedesktop convention, cut down to the
// hand-over at an owner's exit: it holds CLIPBOARD_MANAGER and, asked to
// convert it to SAVE_TARGETS, fetches the targets the owner listed from the
// CLIPBOARD owner (all at once through MULTIPLE, as GNOME's does, or one by
// one), then answers. It reports what it was given. `Never` asks for nothing
// and never answers, as a manager that hangs.
class ManagerStandIn {
public:
    enum class Fetch { Multiple, OneByOne, Never };

    struct Report {
        bool asked = false;
        std::vector<std::string> listed;
        std::map<std::string, std::vector<uint8_t>> got;
    };

    explicit ManagerStandIn(Fetch fetch) : fetch_(fetch) {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) return;
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        manager_ = XInternAtom(display_, "CLIPBOARD_MANAGER", False);
        XSetSelectionOwner(display_, manager_, window_, CurrentTime);
        owns_ = XGetSelectionOwner(display_, manager_) == window_;
        XSync(display_, False);
        thread_ = std::thread([this] { run(); });
    }
    ~ManagerStandIn() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (display_) XCloseDisplay(display_);
    }
    ManagerStandIn(const ManagerStandIn&) = delete;
    ManagerStandIn& operator=(const ManagerStandIn&) = delete;

    bool owns() const { return owns_; }

    // What the manager got, once it was asked (or after `seconds`).
    Report report(double seconds) {
        std::unique_lock lock(mutex_);
        done_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return report_.asked; });
        return report_;
    }

private:
    Atom atom(const char* name) { return XInternAtom(display_, name, False); }

    void run() {
        while (!stop_) {
            XEvent event;
            if (!nextEvent(event, 50)) continue;
            if (event.type != SelectionRequest) continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            if (request.selection == manager_ && request.target == atom("SAVE_TARGETS")) save(request);
        }
    }

    bool nextEvent(XEvent& event, int timeoutMs) {
        if (XPending(display_) == 0) {
            pollfd fd = {ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, timeoutMs);
            if (XPending(display_) == 0) return false;
        }
        XNextEvent(display_, &event);
        return true;
    }

    std::vector<long> longs(Window window, Atom property) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(display_, window, property, 0, 256, False, AnyPropertyType, &type, &format, &items,
                               &after, &data) == Success &&
            data && format == 32) {
            values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
        }
        if (data) XFree(data);
        return values;
    }

    std::vector<uint8_t> bytes(Atom property) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<uint8_t> value;
        if (XGetWindowProperty(display_, window_, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &items,
                               &after, &data) == Success &&
            data && format == 8) {
            value.assign(data, data + items);
        }
        if (data) XFree(data);
        return value;
    }

    // Converts CLIPBOARD into `property` on our window; the property given
    // back by the owner, None when it refused or never answered.
    Atom convert(Atom target, Atom property) {
        XConvertSelection(display_, atom("CLIPBOARD"), target, property, window_, CurrentTime);
        XFlush(display_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        XEvent event;
        while (std::chrono::steady_clock::now() < deadline) {
            if (XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event)) return event.xselection.property;
            pollfd fd = {ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, 20);
            XPending(display_);
        }
        return None;
    }

    void save(const XSelectionRequestEvent& request) {
        Report report;
        report.asked = true;
        std::vector<Atom> targets;
        for (long value : longs(request.requestor, request.property)) targets.push_back(Atom(value));
        for (Atom target : targets) {
            char* name = XGetAtomName(display_, target);
            report.listed.emplace_back(name ? name : "");
            if (name) XFree(name);
        }
        if (fetch_ == Fetch::Multiple) {
            std::vector<long> pairs;
            for (size_t i = 0; i < targets.size(); ++i) {
                pairs.push_back(long(targets[i]));
                pairs.push_back(long(atom(("STANDIN_" + std::to_string(i)).c_str())));
            }
            const Atom list = atom("STANDIN_MULTIPLE");
            XChangeProperty(display_, window_, list, atom("ATOM_PAIR"), 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(pairs.data()), int(pairs.size()));
            if (convert(atom("MULTIPLE"), list) == list) {
                const std::vector<long> answered = longs(window_, list);
                for (size_t i = 0; i + 1 < answered.size(); i += 2) {
                    if (Atom(answered[i + 1]) == None) continue;
                    report.got[report.listed.at(i / 2)] = bytes(Atom(answered[i + 1]));
                }
            }
        } else if (fetch_ == Fetch::OneByOne) {
            for (size_t i = 0; i < targets.size(); ++i) {
                const Atom data = atom("STANDIN_DATA");
                if (convert(targets[i], data) == data) report.got[report.listed[i]] = bytes(data);
            }
        }
        if (fetch_ != Fetch::Never) {
            XSelectionEvent reply = {};
            reply.type = SelectionNotify;
            reply.requestor = request.requestor;
            reply.selection = request.selection;
            reply.target = request.target;
            reply.property = request.property;
            reply.time = request.time;
            XSendEvent(display_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
            XFlush(display_);
        }
        std::lock_guard lock(mutex_);
        report_ = report;
        done_.notify_all();
    }

    Fetch fetch_;
    Display* display_ = nullptr;
    Window window_ = 0;
    Atom manager_ = 0;
    bool owns_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable done_;
    Report report_;
};

}  // namespace vobu::testing
