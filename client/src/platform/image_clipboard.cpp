#include "platform/image_clipboard.h"

namespace vobu {

ImageClipboardCalls unavailableImageClipboardCalls() {
    ImageClipboardCalls calls;
    calls.ourWindowHasFocus = [] { return false; };
    calls.offer = [](std::vector<ClipboardFormat>) { return ClipboardOffer::Busy; };
    calls.listTargets = [](std::vector<std::string>&) { return ClipboardFetch::Busy; };
    calls.fetch = [](const std::string&, std::vector<uint8_t>&) { return ClipboardFetch::Busy; };
    return calls;
}

}  // namespace vobu
