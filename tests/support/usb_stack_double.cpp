#include "usb_stack_double.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vostrel::test {

using namespace usb;

namespace {

constexpr std::size_t kMaxStringUnits = 126;
const std::u16string kDevicePrefix = u"\\\\.\\";

void putU16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendStringDescriptor(std::u16string_view text, std::vector<std::uint8_t>& bytes) {
    text = text.substr(0, kMaxStringUnits);
    bytes.push_back(static_cast<std::uint8_t>(2 + 2 * text.size()));
    bytes.push_back(USB_STRING_DESCRIPTOR_TYPE);
    for (const char16_t unit : text) putU16(bytes, unit);
}

std::vector<std::uint8_t> stringDescriptorOf(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    appendStringDescriptor(text, bytes);
    return bytes;
}

// A name answer: `prefix` bytes (a port number or nothing), the whole
// answer's length, then the name with its NUL.
void appendNameAnswer(std::span<const std::uint8_t> prefix, const std::u16string& name,
                      std::vector<std::uint8_t>& bytes) {
    bytes.insert(bytes.end(), prefix.begin(), prefix.end());
    putU32(bytes, static_cast<std::uint32_t>(prefix.size() + 4 + 2 * (name.size() + 1)));
    for (const char16_t unit : name) putU16(bytes, unit);
    putU16(bytes, 0);
}

template <typename T>
void appendBytesOf(const T& value, std::vector<std::uint8_t>& bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
}

std::uint32_t readU32(std::span<const std::uint8_t> in) {
    std::uint32_t value = 0;
    std::memcpy(&value, in.data(), std::min<std::size_t>(in.size(), sizeof value));
    return value;
}

}  // namespace

// ---------------------------------------------------------------- devices

UsbDeviceDouble::UsbDeviceDouble() : configuration_(configurationWith(0, 0)) {
    descriptor_.bLength = sizeof descriptor_;
    descriptor_.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    descriptor_.bcdUSB = 0x0200;
    descriptor_.bMaxPacketSize0 = 64;
    descriptor_.idVendor = 0x1234;
    descriptor_.idProduct = 0x5678;
    descriptor_.bcdDevice = 0x0100;
    descriptor_.bNumConfigurations = 1;
}

UsbDeviceDouble::~UsbDeviceDouble() = default;

UsbDeviceDouble& UsbDeviceDouble::ids(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release) {
    descriptor_.idVendor = vendorId;
    descriptor_.idProduct = productId;
    descriptor_.bcdDevice = release;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::deviceClass(std::uint8_t deviceClass, std::uint8_t subClass) {
    descriptor_.bDeviceClass = deviceClass;
    descriptor_.bDeviceSubClass = subClass;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::speed(std::uint8_t speed) {
    speed_ = speed;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::status(std::uint32_t status) {
    status_ = status;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::configured(std::uint8_t value) {
    configurationValue_ = value;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::openPipes(int count) {
    pipes_ = std::clamp(count, 0, kMaxPipes);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::languages(std::vector<std::uint16_t> ids) {
    languages_ = std::move(ids);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::manufacturer(std::u16string text) {
    descriptor_.iManufacturer = 1;
    return string(1, std::move(text));
}

UsbDeviceDouble& UsbDeviceDouble::product(std::u16string text) {
    descriptor_.iProduct = 2;
    return string(2, std::move(text));
}

UsbDeviceDouble& UsbDeviceDouble::serial(std::u16string text) {
    descriptor_.iSerialNumber = 3;
    return string(3, std::move(text));
}

UsbDeviceDouble& UsbDeviceDouble::stringIndexes(std::uint8_t manufacturer, std::uint8_t product,
                                                std::uint8_t serial) {
    descriptor_.iManufacturer = manufacturer;
    descriptor_.iProduct = product;
    descriptor_.iSerialNumber = serial;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::string(std::uint8_t index, std::u16string text) {
    strings_[index] = std::move(text);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::string(std::uint8_t index, std::uint16_t language, std::u16string text) {
    languageStrings_[{index, language}] = stringDescriptorOf(text);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::rawString(std::uint8_t index, std::uint16_t language,
                                            std::vector<std::uint8_t> bytes) {
    languageStrings_[{index, language}] = std::move(bytes);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::refuseString(std::uint8_t index, std::uint16_t language) {
    languageStrings_[{index, language}] = std::nullopt;
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::configuration(std::vector<std::uint8_t> bytes) {
    configuration_ = std::move(bytes);
    return *this;
}

UsbDeviceDouble& UsbDeviceDouble::noConfiguration() {
    configuration_.reset();
    return *this;
}

std::vector<std::uint8_t> UsbDeviceDouble::configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface) {
    USB_CONFIGURATION_DESCRIPTOR configuration{9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 25, 1, 1, iConfiguration, 0x80,
                                               50};
    USB_INTERFACE_DESCRIPTOR interface{9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 1, 0xFF, 0, 0, iInterface};
    USB_ENDPOINT_DESCRIPTOR endpoint{7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, 2, 512, 0};
    std::vector<std::uint8_t> bytes;
    appendBytesOf(configuration, bytes);
    appendBytesOf(interface, bytes);
    appendBytesOf(endpoint, bytes);
    return bytes;
}

bool UsbDeviceDouble::stringDescriptor(std::uint8_t index, std::uint16_t language,
                                       std::vector<std::uint8_t>& out) const {
    if (index == 0) {
        if (languages_.empty()) return false;
        out.push_back(static_cast<std::uint8_t>(2 + 2 * languages_.size()));
        out.push_back(USB_STRING_DESCRIPTOR_TYPE);
        for (const std::uint16_t id : languages_) putU16(out, id);
        return true;
    }
    if (const auto specific = languageStrings_.find({index, language}); specific != languageStrings_.end()) {
        if (!specific->second) return false;
        out.insert(out.end(), specific->second->begin(), specific->second->end());
        return true;
    }
    const auto any = strings_.find(index);
    if (any == strings_.end()) return false;
    appendStringDescriptor(any->second, out);
    return true;
}

// ---------------------------------------------------------------- hubs

UsbHubDouble::UsbHubDouble(std::u16string name, int reportedPorts)
    : name_(std::move(name)), reportedPorts_(reportedPorts) {}

UsbDeviceDouble& UsbHubDouble::plug(int port) {
    auto& slot = ports_[port];
    slot = std::make_unique<UsbDeviceDouble>();
    return *slot;
}

UsbDeviceDouble& UsbHubDouble::plugHub(int port, std::u16string name, int ports) {
    UsbDeviceDouble& device = plug(port);
    device.deviceClass(9);
    device.hub_ = std::make_unique<UsbHubDouble>(std::move(name), ports);
    return device;
}

void UsbHubDouble::unplug(int port) { ports_.erase(port); }

UsbDeviceDouble* UsbHubDouble::device(int port) {
    const auto it = ports_.find(port);
    return it == ports_.end() ? nullptr : it->second.get();
}

UsbHubDouble& UsbHubDouble::reportedPorts(int count) {
    reportedPorts_ = count;
    return *this;
}

UsbHubDouble& UsbHubDouble::olderDriver(bool older) {
    olderDriver_ = older;
    return *this;
}

UsbHubDouble& UsbHubDouble::failNodeInformation(bool fail) {
    failNodeInformation_ = fail;
    return *this;
}

UsbHubDouble& UsbControllerDouble::rootHub(std::u16string name, int ports) {
    root_ = std::make_unique<UsbHubDouble>(std::move(name), ports);
    return *root_;
}

// ---------------------------------------------------------------- family

UsbDeviceDouble& FamilyHub::plug(int portIndex, Side side) {
    UsbHubDouble* hub = side == Side::SuperSpeed ? side5744 : side2744;
    UsbDeviceDouble& device = hub->plug(portIndex + 1);
    if (side == Side::SuperSpeed) device.speed(UsbSuperSpeed);
    return device;
}

void FamilyHub::unplug(int portIndex) {
    for (UsbHubDouble* hub : {side5744, side2744}) {
        if (hub != nullptr) hub->unplug(portIndex + 1);
    }
}

UsbDeviceDouble* FamilyHub::device(int portIndex, Side side) {
    UsbHubDouble* hub = side == Side::SuperSpeed ? side5744 : side2744;
    return hub == nullptr ? nullptr : hub->device(portIndex + 1);
}

// ---------------------------------------------------------------- the stack

struct UsbStackDouble::Handle {
    std::u16string path;
    UsbControllerDouble* controller = nullptr;
    UsbHubDouble* hub = nullptr;
};

UsbStackDouble::UsbStackDouble() = default;

UsbStackDouble::~UsbStackDouble() {
    for (Handle* handle : handles_) delete handle;
}

UsbControllerDouble& UsbStackDouble::addController(ControllerSpec spec) {
    controllers_.push_back(std::make_unique<UsbControllerDouble>(std::move(spec)));
    return *controllers_.back();
}

void UsbStackDouble::removeController(UsbControllerDouble& controller) {
    std::erase_if(controllers_, [&](const auto& c) { return c.get() == &controller; });
}

std::vector<FamilyHub> UsbStackDouble::addFamilyHubs(int count, Link link) {
    const int n = ++familyControllers_;
    const std::u16string tag = u"FAMILY" + std::u16string(1, static_cast<char16_t>(u'A' + (n - 1) % 26)) +
                               std::u16string(1, static_cast<char16_t>(u'0' + n / 26 % 10));
    UsbControllerDouble& controller = addController(
        {.number = std::nullopt,
         .interfacePath = u"\\\\?\\PCI#VEN_8086&DEV_A36D#" + tag + u"#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
         .driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\" + tag});
    const int portsPerHub = link == Link::Usb3 ? 2 : 1;
    UsbHubDouble& root = controller.rootHub(u"USB#ROOT_HUB30#" + tag, count * portsPerHub);

    std::vector<FamilyHub> hubs;
    for (int i = 0; i < count; ++i) {
        FamilyHub hub;
        const int number = ++familySerials_;
        std::u16string serial = u"VH0000";
        for (int at = 5, rest = number; at >= 2 && rest > 0; --at, rest /= 10) {
            serial[at] = static_cast<char16_t>(u'0' + rest % 10);
        }
        hub.serial = serial;
        int port = i * portsPerHub + 1;
        const auto plugSide = [&](std::uint16_t productId, std::u16string_view side) {
            UsbDeviceDouble& device = root.plugHub(port++, u"USB#VID_0424&PID_" + std::u16string(side) + u"#" +
                                                               tag + u"#" + serial);
            device.ids(0x0424, productId, 0x0200).manufacturer(u"Vostrel").product(u"Hub").serial(serial);
            return &device;
        };
        if (link == Link::Usb3) {
            hub.device5744 = plugSide(0x5744, u"5744");
            hub.device5744->speed(UsbSuperSpeed);
            hub.side5744 = hub.device5744->hub();
        }
        hub.device2744 = plugSide(0x2744, u"2744");
        hub.side2744 = hub.device2744->hub();
        hubs.push_back(hub);
    }
    return hubs;
}

void UsbStackDouble::addFault(Fault fault) { faults_.push_back(std::move(fault)); }

void UsbStackDouble::clearFaults() {
    faults_.clear();
    failingOpens_.clear();
    interfaceListFails_ = false;
}

void UsbStackDouble::failWhen(std::function<bool(const IoctlCall&)> match) {
    addFault([match = std::move(match)](const IoctlCall& call, IoctlAnswer& answer) {
        if (match(call)) answer = IoctlAnswer{false, 0, answer.out};
    });
}

void UsbStackDouble::failOpen(std::u16string path) { failingOpens_.push_back(std::move(path)); }

std::uint64_t UsbStackDouble::ioctlCount(std::uint32_t code) const {
    const auto it = ioctlsByCode_.find(code);
    return it == ioctlsByCode_.end() ? 0 : it->second;
}

void UsbStackDouble::resetCounts() {
    ioctls_ = 0;
    ioctlsByCode_.clear();
    opens_ = 0;
    badCloses_ = 0;
    calls_.clear();
}

UsbHubDouble* UsbStackDouble::findBelow(UsbHubDouble& hub, const std::u16string& name) {
    if (hub.name_ == name) return &hub;
    for (const auto& [port, device] : hub.ports_) {
        if (!device->hub_) continue;
        if (UsbHubDouble* found = findBelow(*device->hub_, name)) return found;
    }
    return nullptr;
}

UsbHubDouble* UsbStackDouble::findHub(const std::u16string& name) {
    for (const auto& controller : controllers_) {
        if (!controller->root_) continue;
        if (UsbHubDouble* found = findBelow(*controller->root_, name)) return found;
    }
    return nullptr;
}

void* UsbStackDouble::open(const char16_t* path) {
    ++opens_;
    const std::u16string name(path);
    if (std::find(failingOpens_.begin(), failingOpens_.end(), name) != failingOpens_.end()) return nullptr;
    auto handle = std::make_unique<Handle>();
    handle->path = name;
    for (const auto& controller : controllers_) {
        const ControllerSpec& spec = controller->spec_;
        const bool byNumber =
            spec.number && name == kDevicePrefix + u"HCD" + static_cast<char16_t>(u'0' + *spec.number);
        if (byNumber || (!spec.interfacePath.empty() && name == spec.interfacePath)) {
            handle->controller = controller.get();
            break;
        }
    }
    if (handle->controller == nullptr && name.starts_with(kDevicePrefix)) {
        handle->hub = findHub(name.substr(kDevicePrefix.size()));
    }
    if (handle->controller == nullptr && handle->hub == nullptr) return nullptr;
    handles_.insert(handle.get());
    return handle.release();
}

void UsbStackDouble::close(void* handle) {
    auto* h = static_cast<Handle*>(handle);
    if (handles_.erase(h) == 0) {
        ++badCloses_;
        return;
    }
    delete h;
}

int UsbStackDouble::hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) {
    if (interfaceListFails_) return -1;
    std::uint32_t member = 0;
    for (const auto& controller : controllers_) {
        const std::u16string& interfacePath = controller->spec_.interfacePath;
        if (interfacePath.empty() || member++ != index) continue;
        if (capacity == 0) return 1;
        const std::size_t n = std::min<std::size_t>(interfacePath.size(), capacity - 1);
        std::copy_n(interfacePath.begin(), n, path);
        path[n] = u'\0';
        return 1;
    }
    return 0;
}

bool UsbStackDouble::deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                     void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    ++ioctls_;
    ++ioctlsByCode_[code];
    // All of the input is read before any output is written: they may share
    // one buffer.
    const auto* inBytes = static_cast<const std::uint8_t*>(in);
    input_.assign(inBytes, inBytes + (in != nullptr ? inSize : 0));
    answer_.clear();

    auto* h = static_cast<Handle*>(handle);
    IoctlCall call{.code = code, .inSize = inSize, .outSize = outSize};
    bool ok = false;
    if (handles_.contains(h)) {
        if (!faults_.empty() || recordCalls_) call.device = h->path;
        if (h->hub != nullptr) {
            if (input_.size() >= 4) call.port = readU32(input_);
            if (code == IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION && input_.size() >= 12) {
                call.descriptorIndex = input_[6];
                call.descriptorType = input_[7];
                call.languageId = static_cast<std::uint16_t>(input_[8] | input_[9] << 8);
            }
            ok = hubAnswer(*h->hub, call, input_, outSize);
        } else {
            ok = controllerAnswer(*h->controller, code, outSize);
        }
    }

    IoctlAnswer result{ok, 0, {static_cast<std::uint8_t*>(out), out != nullptr ? outSize : 0}};
    if (ok) {
        const std::size_t n = std::min(answer_.size(), result.out.size());
        std::copy_n(answer_.begin(), n, result.out.begin());
        result.bytesReturned = static_cast<std::uint32_t>(n);
    }
    for (const Fault& fault : faults_) fault(call, result);
    if (recordCalls_) calls_.push_back(call);
    *bytesReturned = result.bytesReturned;
    return result.ok;
}

bool UsbStackDouble::controllerAnswer(UsbControllerDouble& controller, std::uint32_t code, std::uint32_t outSize) {
    if (outSize < sizeof(USB_HCD_DRIVERKEY_NAME)) return false;
    if (code == IOCTL_GET_HCD_DRIVERKEY_NAME && controller.spec_.driverKey) {
        appendNameAnswer({}, *controller.spec_.driverKey, answer_);
        return true;
    }
    if (code == IOCTL_USB_GET_ROOT_HUB_NAME && controller.root_) {
        appendNameAnswer({}, controller.root_->name_, answer_);
        return true;
    }
    return false;
}

bool UsbStackDouble::hubAnswer(UsbHubDouble& hub, const IoctlCall& call, std::span<const std::uint8_t> in,
                               std::uint32_t outSize) {
    if (call.code == IOCTL_USB_GET_NODE_INFORMATION) {
        if (hub.failNodeInformation_ || outSize < sizeof(USB_NODE_INFORMATION)) return false;
        USB_NODE_INFORMATION node{};
        node.NodeType = UsbHub;
        USB_HUB_DESCRIPTOR& descriptor = node.u.HubInformation.HubDescriptor;
        descriptor.bDescriptorLength = 9;
        descriptor.bDescriptorType = 0x29;
        descriptor.bNumberOfPorts = static_cast<std::uint8_t>(hub.reportedPorts_);
        appendBytesOf(node, answer_);
        return true;
    }

    const std::uint32_t port = call.port;
    if (in.size() < 4 || port < 1 || port > static_cast<std::uint32_t>(hub.reportedPorts_)) return false;
    UsbDeviceDouble* device = hub.device(static_cast<int>(port));

    switch (call.code) {
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: {
        const bool extended = call.code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX;
        if ((extended && hub.olderDriver_) || outSize < offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList)) {
            return false;
        }
        USB_NODE_CONNECTION_INFORMATION_EX info{};
        info.ConnectionIndex = port;
        int pipes = 0;
        if (device != nullptr) {
            info.DeviceDescriptor = device->descriptor_;
            info.CurrentConfigurationValue = device->configurationValue_;
            info.Speed = extended ? device->speed_ : (device->speed_ == UsbLowSpeed ? 1 : 0);
            info.DeviceIsHub = device->hub_ ? 1 : 0;
            info.DeviceAddress = device->address_;
            pipes = device->pipes_;
            info.NumberOfOpenPipes = static_cast<std::uint32_t>(pipes);
            info.ConnectionStatus = device->status_;
            for (int i = 0; i < pipes; ++i) {
                info.PipeList[i].EndpointDescriptor = {7, USB_ENDPOINT_DESCRIPTOR_TYPE,
                                                       static_cast<std::uint8_t>(0x81 + i), 2, 512, 0};
                info.PipeList[i].ScheduleOffset = static_cast<std::uint32_t>(i);
            }
        }
        appendBytesOf(info, answer_);
        answer_.resize(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList) + sizeof(USB_PIPE_INFO) * pipes);
        return true;
    }
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: {
        constexpr std::size_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
        if (in.size() < kHeader || outSize < kHeader || device == nullptr || device->status_ != 1) return false;
        // The request header comes back as it went, then the descriptor,
        // cut to the length asked for.
        answer_.assign(in.begin(), in.begin() + kHeader);
        bool found = false;
        if (call.descriptorType == USB_DEVICE_DESCRIPTOR_TYPE) {
            appendBytesOf(device->descriptor_, answer_);
            found = true;
        } else if (call.descriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE && call.descriptorIndex == 0) {
            if (device->configuration_) {
                answer_.insert(answer_.end(), device->configuration_->begin(), device->configuration_->end());
                found = true;
            }
        } else if (call.descriptorType == USB_STRING_DESCRIPTOR_TYPE) {
            found = device->stringDescriptor(call.descriptorIndex, call.languageId, answer_);
        }
        const std::size_t wLength = static_cast<std::size_t>(in[10] | in[11] << 8);
        answer_.resize(std::min(answer_.size(), kHeader + wLength));
        return found;
    }
    case IOCTL_USB_GET_NODE_CONNECTION_NAME:
        if (outSize < sizeof(USB_NODE_CONNECTION_NAME) || device == nullptr || !device->hub_) return false;
        appendNameAnswer(in.first(4), device->hub_->name_, answer_);
        return true;
    default:
        return false;
    }
}

void buildModuleTopology(UsbStackDouble& stack) {
    UsbControllerDouble& controller =
        stack.addController({.number = 0, .driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\0007"});
    UsbHubDouble& root = controller.rootHub(u"USB#ROOT_HUB30#MODULE", 2);
    UsbDeviceDouble& superSpeed = root.plugHub(1, u"USB#VID_0424&PID_5744#MODULE");
    superSpeed.ids(0x0424, 0x5744).speed(UsbSuperSpeed).serial(u"MODULE-1");
    UsbDeviceDouble& usb2 = root.plugHub(2, u"USB#VID_0424&PID_2744#MODULE");
    usb2.ids(0x0424, 0x2744).serial(u"MODULE-1");
    usb2.hub()->plug(2).ids(0x1234, 0x0001, 0x0102).product(u"Module Widget").manufacturer(u"Module Maker");
}

}  // namespace vostrel::test
