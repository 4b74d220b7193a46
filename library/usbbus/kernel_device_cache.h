// What one reading of the kernel's bus learnt about each device instance,
// kept for the next reading, so that what cannot change while the instance
// exists (its descriptors, speed and strings) is read once per instance.
//
// Entries are kept by device folder. An entry serves a later reading only for
// the same instance (`Instance`, compared whole: a device that went and a
// new one in the same folder never share one); an entry the reading looked up
// for another instance is dropped then. Each reading carries over only the
// entries it found or kept anew: a device gone from the bus loses its entry at
// the next reading, so the cache never holds more than one bus's devices.
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
    // The facts kept for the device in `folder` when they were kept for
    // `instance`, carried over into the current reading; null otherwise. The
    // pointer stays valid until the reading ends.
    Facts* find(const std::string& folder, const Instance& instance) {
        if (const auto kept = current_.find(folder); kept != current_.end()) {
            return kept->second.instance == instance ? &kept->second.facts : nullptr;
        }
        const auto found = previous_.find(folder);
        if (found == previous_.end()) return nullptr;
        auto node = previous_.extract(found);
        if (!(node.mapped().instance == instance)) return nullptr;
        return &current_.insert(std::move(node)).position->second.facts;
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
    struct Entry {
        Instance instance;
        Facts facts;
    };
    std::map<std::string, Entry> previous_;  // the last reading's
    std::map<std::string, Entry> current_;   // this reading's so far
};

}  // namespace vostrel::usbbus
