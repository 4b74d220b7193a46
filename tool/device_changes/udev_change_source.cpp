#include "device_changes/udev_change_source.h"

namespace talvern {

std::unique_ptr<UdevChangeSource> UdevChangeSource::open() {
    auto events = platform::UsbDeviceEvents::open();
    if (!events) return nullptr;
    return std::unique_ptr<UdevChangeSource>(new UdevChangeSource(std::move(events)));
}

UdevChangeSource::UdevChangeSource(std::unique_ptr<platform::UsbDeviceEvents> events)
    : events_(std::move(events)), notifier_(events_->descriptor(), QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &UdevChangeSource::onReadable);
}

void UdevChangeSource::onReadable() {
    // A plug or unplug arrives as a burst of events; the waiting ones are
    // answered with one re-read, which already sees all of them.
    if (events_->drain() > 0) emit devicesChanged();
}

}  // namespace talvern
