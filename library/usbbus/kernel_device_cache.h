// What one reading of the kernel's bus learnt about each device instance,
// kept for the next reading, so that what cannot change while the instance
// exists (its descriptors, speed and strings) is read once per instance.
//
// Entries are kept by device folder. An entry serves a later reading only for
// the same instance (`Instance`, compared whole, or recognised by what was
// kept for it: a device that went and a new one in the same folder never
// share one). Each reading carries over only the entries it found or kept
// anew: a device gone from the bus, or another instance in its folder, loses
// its entry at the end of the reading, so the cache never holds more than one
// bus's devices between readings.
//
// Pure bookkeeping, no file access. Not thread-safe: one reading at a time,
// on one thread at a time (the reader's owner serialises them).
#pragma once

#include <map>
#include <string>
#include <utility>

namespace vostrel::usbbus {

template <typename Instance, typename Facts>
class KernelDeviceCache {
public:
    struct Entry {
        Instance instance;
        Facts facts;
    };

    // The facts kept for the device in `folder` when they were kept for
    // `instance`, carried over into the current reading; null otherwise. The
    // pointer stays valid until the reading ends.
    Facts* find(const std::string& folder, const Instance& instance) {
        Entry* entry = findIf(folder, [&](const Instance& kept, const Facts&) { return kept == instance; });
        return entry != nullptr ? &entry->facts : nullptr;
    }

    // As find, for the instance that `same(instance, facts)` recognises in
    // `folder` from what was kept for it; asked once, and not at all when
    // nothing is kept for `folder`.
    template <typename Same>
    Entry* findIf(const std::string& folder, Same same) {
        if (const auto kept = current_.find(folder); kept != current_.end()) {
            return same(std::as_const(kept->second.instance), std::as_const(kept->second.facts)) ? &kept->second
                                                                                                  : nullptr;
        }
        const auto found = previous_.find(folder);
        if (found == previous_.end() ||
            !same(std::as_const(found->second.instance), std::as_const(found->second.facts))) {
            return nullptr;
        }
        return &current_.insert(previous_.extract(found)).position->second;
    }

    // Keeps `facts` for `instance` in `folder` from this reading on.
    Facts& keep(const std::string& folder, Instance instance, Facts facts) {
        Entry& entry = current_.insert_or_assign(folder, Entry{std::move(instance), std::move(facts)}).first->second;
        return entry.facts;
    }

    // Ends a reading: what it did not find or keep is dropped.
    void endReading() {
        previous_ = std::move(current_);
        current_.clear();
    }

    std::size_t size() const { return previous_.size() + current_.size(); }

private:
    std::map<std::string, Entry> previous_;  // the last reading's
    std::map<std::string, Entry> current_;   // this reading's so far
};

}  // namespace vostrel::usbbus
