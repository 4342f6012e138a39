#pragma once
// A clipboard service held in memory, for the image copy and paste of the
// editor: what a copy offered, and what another program offers for a
// paste. Install it with installImageClipboard(fake.calls()).

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/image_clipboard.h"

namespace vobu::testing {

struct FakeImageClipboard {
    // False: no window of ours has the focus, so every copy fails.
    bool focused = true;
    // What the window system answers to a copy's offer.
    ClipboardOffer offerResult = ClipboardOffer::Taken;
    // No clipboard service: listing the targets fails.
    bool busy = false;
    // The forms of the last offer, whatever its answer, and how many came.
    std::vector<ClipboardFormat> offered;
    int offers = 0;
    // The clipboard's contents by target: a taken offer's forms, or what a
    // test puts there as another program's.
    std::map<std::string, std::vector<uint8_t>> held;
    // Every target fetched, in order.
    std::vector<std::string> fetched;

    ImageClipboardCalls calls() {
        ImageClipboardCalls c;
        c.ourWindowHasFocus = [this] { return focused; };
        c.offer = [this](std::vector<ClipboardFormat> formats) {
            ++offers;
            offered = std::move(formats);
            if (offerResult == ClipboardOffer::Taken) {
                held.clear();
                for (const ClipboardFormat& f : offered) held[f.target] = f.bytes;
            }
            return offerResult;
        };
        c.listTargets = [this](std::vector<std::string>& targets) {
            if (busy) return ClipboardFetch::Busy;
            targets = {"TARGETS"};
            for (const auto& [target, bytes] : held) targets.push_back(target);
            return ClipboardFetch::Ok;
        };
        c.fetch = [this](const std::string& target, std::vector<uint8_t>& bytes) {
            fetched.push_back(target);
            auto it = held.find(target);
            if (it == held.end()) return ClipboardFetch::Missing;
            bytes = it->second;
            return ClipboardFetch::Ok;
        };
        return c;
    }
};

}  // namespace vobu::testing
