// The image clipboard over libX11 (ICCCM selections, section 2).
//
// Two connections of our own, each used by one thread only: the owner
// connection holds CLIPBOARD and is served by a background thread; the
// requester connection reads other programs' offers on the main thread.
// SDL's text paste asks the CLIPBOARD owner and pumps only SDL's own
// connection while it waits (up to a second, after which it takes the
// clipboard itself); were our owner served from the frame loop, that wait
// would always run out while we hold an image. The owner thread also hands
// the clipboard to a clipboard manager when the process ends.

#include "platform/image_clipboard.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace vobu {
namespace {

using Clock = std::chrono::steady_clock;
using Formats = std::shared_ptr<const std::vector<ClipboardFormat>>;

// How long a read waits for the owner's next answer, and how long a whole
// read may take however busily the owner answers.
constexpr auto kAnswerWait = std::chrono::milliseconds(1000);
constexpr auto kWholeReadWait = std::chrono::milliseconds(5000);
// Outgoing transfers in pieces are dropped when the requestor stops asking.
constexpr auto kTransferIdle = std::chrono::milliseconds(5000);
// Forms larger than this go in pieces (INCR), well below any server's
// request limit.
constexpr size_t kDirectBytes = 256 * 1024;
// At exit, how long the clipboard manager may take to save our forms.
constexpr auto kManagerWait = std::chrono::milliseconds(1000);
// The most (target, property) pairs one MULTIPLE request may name; we offer
// five targets, so a longer list is not a request for ours.
constexpr long kMaxMultiplePairs = 64;

struct Atoms {
    Atom clipboard = None;
    Atom targets = None;
    Atom timestamp = None;
    Atom incr = None;
    Atom multiple = None;
    Atom atomPair = None;
    Atom manager = None;      // CLIPBOARD_MANAGER
    Atom saveTargets = None;  // SAVE_TARGETS
    Atom transfer = None;     // the property our reads land in
    Atom stamp = None;        // the property touched to learn the server time
    Atom saveList = None;     // the property naming the targets to save
};

Atoms internAtoms(Display* display) {
    Atoms a;
    a.clipboard = XInternAtom(display, "CLIPBOARD", False);
    a.targets = XInternAtom(display, "TARGETS", False);
    a.timestamp = XInternAtom(display, "TIMESTAMP", False);
    a.incr = XInternAtom(display, "INCR", False);
    a.multiple = XInternAtom(display, "MULTIPLE", False);
    a.atomPair = XInternAtom(display, "ATOM_PAIR", False);
    a.manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    a.saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    a.transfer = XInternAtom(display, "VOBU_CLIPBOARD", False);
    a.stamp = XInternAtom(display, "VOBU_TIMESTAMP", False);
    a.saveList = XInternAtom(display, "VOBU_SAVE_TARGETS", False);
    return a;
}

// Errors on our connections (a requestor window that vanished mid-transfer)
// are expected and dropped; any other connection keeps its own handler.
std::atomic<Display*> ownerDisplay{nullptr};
std::atomic<Display*> requesterDisplay{nullptr};
XErrorHandler previousHandler = nullptr;

int ignoreOwnErrors(Display* display, XErrorEvent* error) {
    if (display == ownerDisplay.load() || display == requesterDisplay.load()) return 0;
    return previousHandler ? previousHandler(display, error) : 0;
}

void installErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = XSetErrorHandler(ignoreOwnErrors); });
}

Window makeHiddenWindow(Display* display) {
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, window, PropertyChangeMask);
    return window;
}

// Waits on the connection until `match` accepts an event or the deadline
// passes. Other events stay queued.
template <typename Match>
bool waitForEvent(Display* display, Clock::time_point deadline, Match match, XEvent& event) {
    struct Context {
        Match* match;
    } context{&match};
    auto predicate = [](Display*, XEvent* e, XPointer arg) -> Bool {
        return (*reinterpret_cast<Context*>(arg)->match)(*e) ? True : False;
    };
    for (;;) {
        XPending(display);
        if (XCheckIfEvent(display, &event, predicate, reinterpret_cast<XPointer>(&context))) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, int(std::min<long long>(left, 100)));
    }
}

// One form sent in pieces to one requestor.
struct OutgoingTransfer {
    Window requestor = None;
    Atom property = None;
    Atom type = None;
    Formats formats;
    size_t form = 0;
    size_t offset = 0;
    Clock::time_point lastActivity;
};

class SelectionOwner {
public:
    ~SelectionOwner() { stop(); }

    bool start() {
        if (display_) return true;
        installErrorHandler();
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) return false;
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            close(wake_);
            return false;
        }
        ownerDisplay = display_;
        atoms_ = internAtoms(display_);
        window_ = makeHiddenWindow(display_);
        XFlush(display_);
        window = window_;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    ClipboardOffer offer(std::vector<ClipboardFormat> formats) {
        if (!start()) return ClipboardOffer::Busy;
        std::unique_lock lock(mutex_);
        const uint64_t serial = ++offerSerial_;
        pendingOffer_ = std::make_shared<const std::vector<ClipboardFormat>>(std::move(formats));
        signal();
        const bool answered =
            answered_.wait_for(lock, kAnswerWait, [&] { return answeredSerial_ >= serial || stopping_; });
        return answered && offerTaken_ ? ClipboardOffer::Taken : ClipboardOffer::Refused;
    }

    // Our forms while we hold the clipboard (null otherwise).
    Formats ownedFormats() {
        std::lock_guard lock(mutex_);
        return owned_;
    }

    // The owner window, read by the main thread to recognise our own offer.
    std::atomic<Window> window{None};

private:
    void signal() {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wake_, &one, sizeof one);
    }

    void stop() {
        if (!display_) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        signal();
        // Xlib ends the process from whichever thread sees the display go:
        // the owner thread cannot wait for itself.
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
            return;
        }
        if (thread_.joinable()) thread_.join();
        ownerDisplay = nullptr;
        XCloseDisplay(display_);
        close(wake_);
        display_ = nullptr;
    }

    void run() {
        for (;;) {
            waitForWork(transfers_.empty() ? -1 : 1000);
            Formats offer;
            uint64_t serial = 0;
            {
                std::lock_guard lock(mutex_);
                if (stopping_) break;
                offer = std::move(pendingOffer_);
                serial = offerSerial_;
            }
            if (offer) take(std::move(offer), serial);
            handleEvents();
        }
        handOverToManager();
    }

    void waitForWork(int timeoutMs) {
        XFlush(display_);
        if (XPending(display_) == 0) {
            pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_, POLLIN, 0}};
            poll(fds, 2, timeoutMs);
        }
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = read(wake_, &count, sizeof count);
    }

    void handleEvents() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
        dropIdleTransfers();
    }

    // The selection dies with our connection. A clipboard manager (the
    // freedesktop convention) keeps it alive: asked to convert its
    // selection to SAVE_TARGETS, it fetches the targets named in our
    // property, takes CLIPBOARD over and then answers. We serve its requests
    // meanwhile. Without a manager nothing is asked and nothing awaited.
    void handOverToManager() {
        Formats formats;
        {
            std::lock_guard lock(mutex_);
            formats = owned_;
        }
        if (!formats || XGetSelectionOwner(display_, atoms_.clipboard) != window_ ||
            XGetSelectionOwner(display_, atoms_.manager) == None) {
            return;
        }
        std::vector<long> targets;
        for (const auto& form : *formats) targets.push_back(long(XInternAtom(display_, form.target.c_str(), False)));
        XChangeProperty(display_, window_, atoms_.saveList, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets.data()), int(targets.size()));
        XConvertSelection(display_, atoms_.manager, atoms_.saveTargets, atoms_.saveList, window_, serverTime());
        const auto deadline = Clock::now() + kManagerWait;
        while (!managerAnswered_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return;
            waitForWork(int(std::min<long long>(left, 100)));
            handleEvents();
        }
    }

    // The server time of now, from a zero-length append to our own window
    // (selection ownership must not be taken at CurrentTime).
    Time serverTime() {
        XChangeProperty(display_, window_, atoms_.stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent event;
        const auto deadline = Clock::now() + kAnswerWait;
        const auto match = [this](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == window_ && e.xproperty.atom == atoms_.stamp;
        };
        return waitForEvent(display_, deadline, match, event) ? event.xproperty.time : CurrentTime;
    }

    void take(Formats offer, uint64_t serial) {
        const Time time = serverTime();
        XSetSelectionOwner(display_, atoms_.clipboard, window_, time);
        const bool taken = XGetSelectionOwner(display_, atoms_.clipboard) == window_;
        std::lock_guard lock(mutex_);
        if (taken) {
            owned_ = std::move(offer);
            ownedSince_ = time;
        }
        offerTaken_ = taken;
        answeredSerial_ = serial;
        answered_.notify_all();
    }

    void handle(const XEvent& event) {
        if (event.type == SelectionRequest) {
            serve(event.xselectionrequest);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == atoms_.clipboard) {
            std::lock_guard lock(mutex_);
            // A clear from before our latest take is stale.
            if (ownedSince_ == CurrentTime || event.xselectionclear.time >= ownedSince_) owned_.reset();
        } else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
            continueTransfer(event.xproperty.window, event.xproperty.atom);
        } else if (event.type == SelectionNotify && event.xselection.requestor == window_ &&
                   event.xselection.selection == atoms_.manager) {
            // Saved or refused: either way the manager is done with us.
            managerAnswered_ = true;
        }
    }

    void serve(const XSelectionRequestEvent& request) {
        XSelectionEvent reply = {};
        reply.type = SelectionNotify;
        reply.display = request.display;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        // Obsolete requestors name no property: the target is used instead.
        const Atom property = request.property == None ? request.target : request.property;
        Formats formats;
        Time since = CurrentTime;
        {
            std::lock_guard lock(mutex_);
            formats = owned_;
            since = ownedSince_;
        }
        const bool current = request.time == CurrentTime || since == CurrentTime || request.time >= since;
        if (request.selection == atoms_.clipboard && formats && current &&
            answer(request.requestor, property, request.target, formats, since)) {
            reply.property = property;
        }
        XSendEvent(display_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(display_);
    }

    bool answer(Window requestor, Atom property, Atom target, const Formats& formats, Time since) {
        if (target == atoms_.multiple) return answerMultiple(requestor, property, formats, since);
        if (target == atoms_.targets) {
            std::vector<long> list = {long(atoms_.targets), long(atoms_.timestamp), long(atoms_.multiple)};
            for (const auto& form : *formats) list.push_back(long(XInternAtom(display_, form.target.c_str(), False)));
            XChangeProperty(display_, requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(list.data()), int(list.size()));
            return true;
        }
        if (target == atoms_.timestamp) {
            const long stamp = long(since);
            XChangeProperty(display_, requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&stamp), 1);
            return true;
        }
        for (size_t i = 0; i < formats->size(); ++i) {
            const ClipboardFormat& form = (*formats)[i];
            if (XInternAtom(display_, form.target.c_str(), False) != target) continue;
            if (form.bytes.size() <= kDirectBytes) {
                XChangeProperty(display_, requestor, property, target, 8, PropModeReplace, form.bytes.data(),
                                int(form.bytes.size()));
            } else {
                startTransfer(requestor, property, target, formats, i);
            }
            return true;
        }
        return false;
    }

    // ICCCM 2.6.2: the property holds (target, property) pairs; each is
    // converted in turn, and a pair that could not be has its property
    // replaced by None. Clipboard managers fetch every form this way.
    bool answerMultiple(Window requestor, Atom property, const Formats& formats, Time since) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, requestor, property, 0, 2 * kMaxMultiplePairs, False, AnyPropertyType, &type,
                               &format, &items, &after, &data) != Success) {
            return false;
        }
        std::vector<long> pairs;
        if (data && format == 32 && after == 0 && items % 2 == 0) {
            const long* values = reinterpret_cast<const long*>(data);
            pairs.assign(values, values + items);
        }
        if (data) XFree(data);
        if (pairs.empty()) return false;
        for (size_t i = 0; i < pairs.size(); i += 2) {
            const Atom pairTarget = Atom(pairs[i]);
            const Atom pairProperty = Atom(pairs[i + 1]);
            const bool done = pairTarget != atoms_.multiple && pairProperty != None &&
                              answer(requestor, pairProperty, pairTarget, formats, since);
            if (!done) pairs[i + 1] = long(None);
        }
        XChangeProperty(display_, requestor, property, atoms_.atomPair, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(pairs.data()), int(pairs.size()));
        return true;
    }

    void startTransfer(Window requestor, Atom property, Atom type, const Formats& formats, size_t form) {
        XSelectInput(display_, requestor, PropertyChangeMask);
        const long size = long(std::min<size_t>((*formats)[form].bytes.size(), 0x7fffffff));
        XChangeProperty(display_, requestor, property, atoms_.incr, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        transfers_.push_back({requestor, property, type, formats, form, 0, Clock::now()});
    }

    // The requestor deleted the property: the next piece, then an empty one.
    void continueTransfer(Window requestor, Atom property) {
        for (auto it = transfers_.begin(); it != transfers_.end(); ++it) {
            if (it->requestor != requestor || it->property != property) continue;
            const std::vector<uint8_t>& bytes = (*it->formats)[it->form].bytes;
            const size_t piece = std::min(kDirectBytes, bytes.size() - it->offset);
            XChangeProperty(display_, requestor, property, it->type, 8, PropModeReplace, bytes.data() + it->offset,
                            int(piece));
            it->offset += piece;
            it->lastActivity = Clock::now();
            if (piece == 0) {
                transfers_.erase(it);
                const bool more = std::any_of(transfers_.begin(), transfers_.end(),
                                              [&](const OutgoingTransfer& t) { return t.requestor == requestor; });
                if (!more) XSelectInput(display_, requestor, NoEventMask);
            }
            XFlush(display_);
            return;
        }
    }

    void dropIdleTransfers() {
        const auto now = Clock::now();
        std::erase_if(transfers_, [&](const OutgoingTransfer& t) { return now - t.lastActivity > kTransferIdle; });
    }

    Display* display_ = nullptr;
    Window window_ = None;
    Atoms atoms_;
    int wake_ = -1;
    std::thread thread_;
    std::vector<OutgoingTransfer> transfers_;  // owner thread only
    bool managerAnswered_ = false;             // owner thread only

    std::mutex mutex_;
    std::condition_variable answered_;
    bool stopping_ = false;
    Formats pendingOffer_;
    uint64_t offerSerial_ = 0;
    uint64_t answeredSerial_ = 0;
    bool offerTaken_ = false;
    Formats owned_;
    Time ownedSince_ = CurrentTime;
};

// Reads other programs' offers; main thread only.
class SelectionReader {
public:
    ~SelectionReader() {
        if (!display_) return;
        requesterDisplay = nullptr;
        XCloseDisplay(display_);
    }

    bool start() {
        if (display_) return true;
        installErrorHandler();
        display_ = XOpenDisplay(nullptr);
        if (!display_) return false;
        requesterDisplay = display_;
        atoms_ = internAtoms(display_);
        window_ = makeHiddenWindow(display_);
        XFlush(display_);
        return true;
    }

    Window owner() { return XGetSelectionOwner(display_, atoms_.clipboard); }

    ClipboardFetch targets(std::vector<std::string>& names) {
        std::vector<uint8_t> bytes;
        Atom type = None;
        int format = 0;
        const ClipboardFetch got = convert(atoms_.targets, bytes, type, format);
        if (got != ClipboardFetch::Ok) return got;
        if (format != 32 || bytes.size() % sizeof(long) != 0) return ClipboardFetch::Missing;
        std::vector<Atom> atoms(bytes.size() / sizeof(long));
        for (size_t i = 0; i < atoms.size(); ++i) {
            long value = 0;
            std::copy_n(bytes.data() + i * sizeof(long), sizeof(long), reinterpret_cast<uint8_t*>(&value));
            atoms[i] = Atom(value);
        }
        names.clear();
        for (Atom atom : atoms) {
            char* name = atom == None ? nullptr : XGetAtomName(display_, atom);
            if (!name) continue;
            names.emplace_back(name);
            XFree(name);
        }
        return ClipboardFetch::Ok;
    }

    ClipboardFetch fetch(const std::string& target, std::vector<uint8_t>& bytes) {
        Atom type = None;
        int format = 0;
        const ClipboardFetch got = convert(XInternAtom(display_, target.c_str(), False), bytes, type, format);
        if (got == ClipboardFetch::Ok && format != 8) return ClipboardFetch::Missing;
        return got;
    }

private:
    // Asks the owner to convert CLIPBOARD to `target` and collects the
    // answer, in pieces when the owner sends INCR.
    ClipboardFetch convert(Atom target, std::vector<uint8_t>& bytes, Atom& type, int& format) {
        discardStaleEvents();
        XDeleteProperty(display_, window_, atoms_.transfer);
        XConvertSelection(display_, atoms_.clipboard, target, atoms_.transfer, window_, CurrentTime);
        XFlush(display_);
        const auto whole = Clock::now() + kWholeReadWait;
        XEvent event;
        const auto notified = [this](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == window_;
        };
        if (!waitForEvent(display_, Clock::now() + kAnswerWait, notified, event)) return ClipboardFetch::Busy;
        if (event.xselection.property == None) return ClipboardFetch::Missing;
        // The owner's write of the answer queued a PropertyNotify before its
        // SelectionNotify; an INCR read must not take that for its first piece.
        discardPropertyEvents();
        bytes.clear();
        if (!readProperty(bytes, type, format)) return ClipboardFetch::Missing;
        if (type != atoms_.incr) return ClipboardFetch::Ok;
        return readPieces(bytes, type, format, whole);
    }

    ClipboardFetch readPieces(std::vector<uint8_t>& bytes, Atom& type, int& format, Clock::time_point whole) {
        bytes.clear();
        const auto newValue = [this](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == window_ && e.xproperty.atom == atoms_.transfer &&
                   e.xproperty.state == PropertyNewValue;
        };
        for (;;) {
            XEvent event;
            const auto deadline = std::min(whole, Clock::now() + kAnswerWait);
            if (!waitForEvent(display_, deadline, newValue, event)) return ClipboardFetch::Busy;
            const size_t before = bytes.size();
            if (!readProperty(bytes, type, format)) return ClipboardFetch::Missing;
            if (bytes.size() == before) return ClipboardFetch::Ok;
        }
    }

    // Appends the transfer property's value and deletes it (which asks an
    // INCR owner for the next piece). False when it would pass the cap.
    bool readProperty(std::vector<uint8_t>& bytes, Atom& type, int& format) {
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window_, atoms_.transfer, 0, 0, False, AnyPropertyType, &type, &format, &items,
                               &after, &data) != Success) {
            return false;
        }
        if (data) XFree(data);
        if (uint64_t(bytes.size()) + uint64_t(after) > kMaxClipboardBytes) {
            XDeleteProperty(display_, window_, atoms_.transfer);
            XFlush(display_);
            return false;
        }
        data = nullptr;
        if (XGetWindowProperty(display_, window_, atoms_.transfer, 0, long((after + 3) / 4), True, AnyPropertyType,
                               &type, &format, &items, &after, &data) != Success) {
            return false;
        }
        const size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        if (data) {
            bytes.insert(bytes.end(), data, data + size_t(items) * unit);
            XFree(data);
        }
        XFlush(display_);
        return after == 0;
    }

    void discardStaleEvents() {
        XSync(display_, False);
        XEvent event;
        while (XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event)) {}
        discardPropertyEvents();
    }

    void discardPropertyEvents() {
        XEvent event;
        while (XCheckWindowEvent(display_, window_, PropertyChangeMask, &event)) {}
    }

    Display* display_ = nullptr;
    Window window_ = None;
    Atoms atoms_;
};

struct X11Clipboard {
    SelectionOwner owner;
    SelectionReader reader;
};

X11Clipboard& clipboard() {
    static X11Clipboard instance;
    return instance;
}

// Our own offer while the clipboard is ours: asking our own owner would
// work (it has its own thread) but costs a needless round trip.
Formats ownOfferIfOwner() {
    X11Clipboard& c = clipboard();
    const Window ours = c.owner.window.load();
    if (ours == None || c.reader.owner() != ours) return nullptr;
    return c.owner.ownedFormats();
}

bool focusedWindowIsOurs() {
    SDL_Window* focused = SDL_GetKeyboardFocus();
    if (focused == nullptr) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(focused, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11;
}

}  // namespace

ImageClipboardCalls systemImageClipboardCalls() {
    ImageClipboardCalls calls;
    calls.ourWindowHasFocus = focusedWindowIsOurs;
    calls.offer = [](std::vector<ClipboardFormat> formats) { return clipboard().owner.offer(std::move(formats)); };
    calls.listTargets = [](std::vector<std::string>& targets) {
        if (!clipboard().reader.start()) return ClipboardFetch::Busy;
        if (Formats own = ownOfferIfOwner()) {
            targets = {"TARGETS", "TIMESTAMP"};
            for (const auto& form : *own) targets.push_back(form.target);
            return ClipboardFetch::Ok;
        }
        if (clipboard().reader.owner() == None) {
            targets.clear();
            return ClipboardFetch::Ok;
        }
        return clipboard().reader.targets(targets);
    };
    calls.fetch = [](const std::string& target, std::vector<uint8_t>& bytes) {
        if (!clipboard().reader.start()) return ClipboardFetch::Busy;
        if (Formats own = ownOfferIfOwner()) {
            for (const auto& form : *own) {
                if (form.target != target) continue;
                bytes = form.bytes;
                return ClipboardFetch::Ok;
            }
            return ClipboardFetch::Missing;
        }
        return clipboard().reader.fetch(target, bytes);
    };
    return calls;
}

}  // namespace vobu
