#include "core/description.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "core/description_error.h"
#include "usbbus/utf.h"

namespace vostrel::sim {

namespace {

constexpr std::size_t kMaxStringUnits = 126;  // a string descriptor holds at most 254 bytes
constexpr std::size_t kMaxNameUnits = 1024;
constexpr int kMaxInterfaces = 32;
constexpr int kMaxPipes = 30;
constexpr const char* kHubInterfaceGuid = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

std::string typeName(const Document& value) {
    switch (value.type()) {
        case Document::value_t::object: return "an object";
        case Document::value_t::array: return "an array";
        case Document::value_t::string: return "a string";
        case Document::value_t::boolean: return "true or false";
        case Document::value_t::null: return "null";
        case Document::value_t::number_float: return "a fractional number";
        default: return "a number";
    }
}

std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string hex4(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", value);
    return buffer;
}

std::u16string ascii16(std::string_view text) { return {text.begin(), text.end()}; }

bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
               return fold(x) == fold(y);
           });
}

// Where a value lies and how to complain about it.
class Context {
public:
    explicit Context(std::string label) : label_(std::move(label)) {}

    [[noreturn]] void fail(const std::string& pointer, const std::string& what) const {
        throw DescriptionError(label_ + ": at " + (pointer.empty() ? std::string("/") : pointer) + ": " + what);
    }

private:
    std::string label_;
};

std::string childPointer(const std::string& parent, std::string_view key) {
    std::string escaped;
    for (char c : key) {
        if (c == '~') escaped += "~0";
        else if (c == '/') escaped += "~1";
        else escaped += c;
    }
    return parent + "/" + escaped;
}

std::int64_t readInteger(const Document& value, const std::string& pointer, std::int64_t min, std::int64_t max,
                         const Context& context) {
    const std::string range = std::to_string(min) + " to " + std::to_string(max);
    std::optional<std::int64_t> number;
    if (value.is_number_unsigned()) {
        const auto n = value.get<std::uint64_t>();
        number = n > static_cast<std::uint64_t>(max) ? max + 1 : static_cast<std::int64_t>(n);
    } else if (value.is_number_integer()) {
        number = value.get<std::int64_t>();
    } else if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = isHex ? text.substr(2) : text;
        const int base = isHex ? 16 : 10;
        std::int64_t n = 0;
        bool ok = !digits.empty();
        for (char c : digits) {
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) {
                ok = false;
                break;
            }
            if (n > (max - digit) / base) {  // out of range; stop before the value overflows
                n = max + 1;
                break;
            }
            n = n * base + digit;
        }
        if (!ok) context.fail(pointer, "expected an integer " + range + ", found " + inQuotes(text));
        number = n;
    } else {
        context.fail(pointer, "expected an integer " + range + " (a number or a string such as \"0x046D\"), found " +
                                  typeName(value));
    }
    if (*number < min || *number > max) {
        context.fail(pointer, "value out of range: expected " + range);
    }
    return *number;
}

// One JSON object whose fields are each read once; whatever is left unread
// at the end is an unknown field.
class Fields {
public:
    Fields(const Document& value, std::string pointer, const Context& context, const char* what)
        : value_(value), pointer_(std::move(pointer)), context_(context) {
        if (!value.is_object()) context.fail(pointer_, std::string("expected ") + what + " (an object), found " + typeName(value));
    }

    const std::string& pointer() const { return pointer_; }
    std::string at(std::string_view key) const { return childPointer(pointer_, key); }
    [[noreturn]] void fail(std::string_view key, const std::string& what) const { context_.fail(at(key), what); }
    [[noreturn]] void failHere(const std::string& what) const { context_.fail(pointer_, what); }

    const Document* get(std::string_view key) {
        used_.insert(std::string(key));
        const auto found = value_.find(key);
        return found == value_.end() ? nullptr : &*found;
    }

    bool has(std::string_view key) const { return value_.contains(key); }

    std::optional<std::int64_t> integer(std::string_view key, std::int64_t min, std::int64_t max) {
        const Document* value = get(key);
        if (value == nullptr) return std::nullopt;
        return readInteger(*value, at(key), min, max, context_);
    }

    std::int64_t required(std::string_view key, std::int64_t min, std::int64_t max) {
        const auto value = integer(key, min, max);
        if (!value) failHere("missing field " + inQuotes(key) + " (" + std::to_string(min) + " to " + std::to_string(max) + ")");
        return *value;
    }

    std::optional<std::string> text(std::string_view key) {
        const Document* value = get(key);
        if (value == nullptr) return std::nullopt;
        if (!value->is_string()) fail(key, "expected a string, found " + typeName(*value));
        return value->get<std::string>();
    }

    std::optional<bool> flag(std::string_view key) {
        const Document* value = get(key);
        if (value == nullptr) return std::nullopt;
        if (!value->is_boolean()) fail(key, "expected true or false, found " + typeName(*value));
        return value->get<bool>();
    }

    // A symbolic name, path or key: UTF-16 without NUL, not empty.
    std::optional<std::u16string> name(std::string_view key) {
        const auto value = text(key);
        if (!value) return std::nullopt;
        const auto wide = usbbus::utf8ToUtf16(*value);
        if (!wide || wide->empty() || wide->size() > kMaxNameUnits ||
            wide->find(u'\0') != std::u16string::npos) {
            fail(key, "expected a name of 1 to " + std::to_string(kMaxNameUnits) + " characters without NUL");
        }
        return wide;
    }

    // Optional one-of choice among `names`; returns the index.
    std::optional<std::size_t> choice(std::string_view key, std::initializer_list<const char*> names) {
        const auto value = text(key);
        if (!value) return std::nullopt;
        std::size_t index = 0;
        std::string list;
        for (const char* name : names) {
            if (*value == name) return index;
            list += (index == 0 ? "" : ", ") + inQuotes(name);
            ++index;
        }
        fail(key, "unknown value " + inQuotes(*value) + ": expected one of " + list);
    }

    // Fails when any of `keys` is present, saying why it does not belong.
    void forbid(std::initializer_list<const char*> keys, const std::string& why) {
        for (const char* key : keys) {
            if (has(key)) fail(key, inQuotes(key) + " does not apply here: " + why);
        }
    }

    void finish() {
        if (const Document* comment = get("comment"); comment != nullptr && !comment->is_string()) {
            fail("comment", "expected a string, found " + typeName(*comment));
        }
        for (const auto& item : value_.items()) {
            if (used_.count(item.key()) == 0) fail(item.key(), "unknown field " + inQuotes(item.key()));
        }
    }

private:
    const Document& value_;
    std::string pointer_;
    const Context& context_;
    std::set<std::string, std::less<>> used_;
};

// Builds a document from the parser's events, keeping where reading stopped
// when the text is not JSON (nlohmann's own builder forgets it for some
// faults, such as a number too large).
class DocumentBuilder {
public:
    Document take() { return std::move(root_); }
    std::size_t failedAt() const { return failedAt_; }
    const std::string& failure() const { return failure_; }

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(Document::number_integer_t value) { return add(value); }
    bool number_unsigned(Document::number_unsigned_t value) { return add(value); }
    bool number_float(Document::number_float_t value, const Document::string_t&) { return add(value); }
    bool string(Document::string_t& value) { return add(std::move(value)); }
    bool binary(Document::binary_t& value) { return add(Document::binary(std::move(value))); }
    bool start_object(std::size_t) { return open(Document::object()); }
    bool key(Document::string_t& key) {
        key_ = std::move(key);
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Document::array()); }
    bool end_array() { return close(); }

    bool parse_error(std::size_t position, const std::string& token, const nlohmann::json::exception& error) {
        // A number too large is reported at its end; point at its start.
        const bool numberOverflow = dynamic_cast<const nlohmann::json::out_of_range*>(&error) != nullptr;
        failedAt_ = numberOverflow && token.size() <= position ? position + 1 - token.size() : position;
        failure_ = error.what();
        // "[json.exception.parse_error.101] parse error at line 1, column 2: what" → "what"
        if (const auto bracket = failure_.find("] "); bracket != std::string::npos) failure_.erase(0, bracket + 2);
        if (failure_.rfind("parse error", 0) == 0) {
            if (const auto colon = failure_.find(": "); colon != std::string::npos) failure_.erase(0, colon + 2);
        }
        return false;
    }

private:
    // Places a value in the open container, or as the whole document; only
    // the innermost open container is ever added to, so the pointers to the
    // open containers stay valid.
    Document* place(Document&& value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        Document& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        Document& slot = parent[key_];
        slot = std::move(value);
        return &slot;
    }

    bool add(Document&& value) {
        place(std::move(value));
        return true;
    }
    bool open(Document&& container) {
        open_.push_back(place(std::move(container)));
        return true;
    }
    bool close() {
        open_.pop_back();
        return true;
    }

    Document root_;
    std::vector<Document*> open_;
    std::string key_;
    std::size_t failedAt_ = 0;
    std::string failure_;
};

class BenchReader {
public:
    explicit BenchReader(const std::string& label) : context_(label) {}

    Bench read(const Document& document) {
        Fields top(document, "", context_, "the bench");
        Bench bench;
        if (const auto available = top.flag("interfaceListAvailable")) bench.interfaceListAvailable = *available;
        const Document* list = top.get("controllers");
        if (list == nullptr) top.failHere("missing field \"controllers\" (a list of host controllers)");
        if (!list->is_array()) top.fail("controllers", "expected a list of host controllers, found " + typeName(*list));
        for (std::size_t i = 0; i < list->size(); ++i) {
            bench.controllers.push_back(readController((*list)[i], top.at("controllers") + "/" + std::to_string(i),
                                                       static_cast<int>(i)));
        }
        top.finish();
        return bench;
    }

private:
    void claimId(Fields& fields, std::string& id) {
        const auto value = fields.text("id");
        if (!value) return;
        const bool wellFormed =
            !value->empty() && value->size() <= 64 && std::isalpha(static_cast<unsigned char>((*value)[0])) &&
            std::all_of(value->begin(), value->end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
            });
        if (!wellFormed) {
            fields.fail("id", "an id starts with a letter and has up to 64 letters, digits, '_' or '-'");
        }
        if (const auto [it, fresh] = ids_.emplace(*value, fields.at("id")); !fresh) {
            fields.fail("id", "id " + inQuotes(*value) + " is already used at " + it->second);
        }
        id = *value;
    }

    void claimHubName(const std::u16string& name, const std::string& pointer) {
        for (const auto& [other, where] : hubNames_) {
            if (equalIgnoringAsciiCase(other, name)) {
                context_.fail(pointer, "hub name " + inQuotes(usbbus::utf16ToUtf8(name)) + " is already used at " + where);
            }
        }
        hubNames_.emplace_back(name, pointer);
    }

    Controller readController(const Document& value, const std::string& pointer, int position) {
        Fields fields(value, pointer, context_, "a host controller");
        Controller controller;
        controller.pointer = pointer;
        controller.position = position;
        claimId(fields, controller.id);
        if (const auto number = fields.integer("number", 0, 9)) {
            if (const auto [it, fresh] = numbers_.emplace(static_cast<int>(*number), fields.at("number")); !fresh) {
                fields.fail("number", "HCD" + std::to_string(*number) + " is already used at " + it->second);
            }
            controller.number = static_cast<int>(*number);
        }
        if (const auto path = fields.name("interfacePath")) {
            for (const auto& [other, where] : interfacePaths_) {
                if (equalIgnoringAsciiCase(other, *path)) fields.fail("interfacePath", "the same path is used at " + where);
            }
            interfacePaths_.emplace_back(*path, fields.at("interfacePath"));
            controller.interfacePath = *path;
        }
        if (!controller.number && controller.interfacePath.empty()) {
            fields.failHere(
                "a host controller needs a \"number\" (0 to 9, opened as \\\\.\\HCD<number>), an "
                "\"interfacePath\", or both");
        }
        char key[64];
        std::snprintf(key, sizeof key, "{36fc9e60-c465-11cf-8056-444553540000}\\%04d", position);
        controller.driverKey = fields.name("driverKey").value_or(ascii16(key));
        controller.usb3 = fields.flag("usb3").value_or(true);
        controller.portCount = static_cast<int>(fields.integer("portCount", 1, 31).value_or(4));
        const std::string rootName = std::string("USB#ROOT_HUB") + (controller.usb3 ? "30#" : "20#") +
                                     std::to_string(position) + "&0&0#" + kHubInterfaceGuid;
        controller.rootHubName = fields.name("rootHubName").value_or(ascii16(rootName));
        claimHubName(controller.rootHubName, fields.at("rootHubName"));
        controller.devices = readDevices(fields, controller.portCount, std::to_string(position), "-", 0);
        fields.finish();
        return controller;
    }

    std::vector<Device> readDevices(Fields& parent, int portCount, const std::string& location, const char* separator,
                                    int tier) {
        std::vector<Device> devices;
        const Document* list = parent.get("devices");
        if (list == nullptr) return devices;
        if (!list->is_array()) parent.fail("devices", "expected a list of devices, found " + typeName(*list));
        std::map<int, std::string> taken;
        for (std::size_t i = 0; i < list->size(); ++i) {
            Device device = readDevice((*list)[i], parent.at("devices") + "/" + std::to_string(i), portCount,
                                       location + separator, tier);
            if (const auto [it, fresh] = taken.emplace(device.port, device.pointer); !fresh) {
                context_.fail(device.pointer + "/port",
                              "port " + std::to_string(device.port) + " already holds the device at " + it->second);
            }
            devices.push_back(std::move(device));
        }
        std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) { return a.port < b.port; });
        return devices;
    }

    std::uint16_t language(const std::string& text, const std::string& pointer) {
        return static_cast<std::uint16_t>(readInteger(Document(text), pointer, 0, 0xFFFF, context_));
    }

    std::u16string descriptorText(const Document& value, const std::string& pointer) {
        if (!value.is_string()) context_.fail(pointer, "expected a string, found " + typeName(value));
        auto wide = usbbus::utf8ToUtf16(value.get_ref<const std::string&>());
        if (!wide || wide->size() > kMaxStringUnits) {
            context_.fail(pointer, "a USB string holds at most " + std::to_string(kMaxStringUnits) +
                                       " UTF-16 units (this one has " + std::to_string(wide ? wide->size() : 0) + ")");
        }
        return *wide;
    }

    // A string given for every language ("text") or per language
    // ({"0x0409": "text", "0x0411": "..."}).
    std::optional<LocalizedText> localized(Fields& fields, std::string_view key, std::vector<std::uint16_t>& seen) {
        const Document* value = fields.get(key);
        if (value == nullptr) return std::nullopt;
        LocalizedText text;
        if (value->is_object()) {
            for (const auto& item : value->items()) {
                const std::string where = childPointer(fields.at(key), item.key());
                const std::uint16_t id = language(item.key(), where);
                text.byLanguage.emplace_back(id, descriptorText(item.value(), where));
                if (std::find(seen.begin(), seen.end(), id) == seen.end()) seen.push_back(id);
            }
            if (text.byLanguage.empty()) fields.fail(key, "expected at least one language");
        } else {
            text.anyLanguage = descriptorText(*value, fields.at(key));
        }
        return text;
    }

    Device readDevice(const Document& value, const std::string& pointer, int parentPorts, const std::string& location,
                      int tier) {
        Fields fields(value, pointer, context_, "a device");
        Device device;
        device.pointer = pointer;
        claimId(fields, device.id);
        device.port = static_cast<int>(fields.required("port", 1, parentPorts));
        device.location = location + std::to_string(device.port);
        device.kind = static_cast<Kind>(fields.choice("kind", {"device", "hub", "family-hub"}).value_or(0));
        if (device.isHub() && tier >= kMaxHubTiers) {
            fields.fail("kind", "hubs chain at most " + std::to_string(kMaxHubTiers) + " deep below a root hub");
        }

        readIdentity(fields, device);
        readStrings(fields, device);
        readBehaviour(fields, device);
        if (device.isHub()) {
            readHub(fields, device, tier);
        } else {
            fields.forbid({"devices", "portCount", "superSpeedProductId", "name", "superSpeedName",
                           "legacyConnectionQuery", "portPower", "programmed"},
                          "only hubs have it (\"kind\": \"hub\" or \"family-hub\")");
        }
        fields.finish();
        return device;
    }

    void readIdentity(Fields& fields, Device& device) {
        if (device.kind == Kind::FamilyHub) {
            fields.forbid({"vendorId", "productId", "superSpeedProductId", "portCount", "speed", "class", "subClass",
                           "protocol", "usbVersion"},
                          "a family hub is always 0x0424 with products 0x2744 and 0x5744, four ports");
            device.vendorId = kFamilyVendorId;
            device.productId = kFamilyUsb2ProductId;
            device.superSpeedProductId = kFamilySuperSpeedProductId;
            device.portCount = kFamilyPortCount;
        } else {
            device.vendorId = static_cast<std::uint16_t>(fields.required("vendorId", 0, 0xFFFF));
            device.productId = static_cast<std::uint16_t>(fields.required("productId", 0, 0xFFFF));
            if (device.kind == Kind::Hub) {
                device.superSpeedProductId =
                    static_cast<std::uint16_t>(fields.integer("superSpeedProductId", 1, 0xFFFF).value_or(0));
            }
            if (device.kind == Kind::Hub && device.vendorId == kFamilyVendorId &&
                (device.productId == kFamilyUsb2ProductId || device.productId == kFamilySuperSpeedProductId)) {
                fields.fail("productId", "a hub of the family is written as \"kind\": \"family-hub\"");
            }
        }
        if (device.isHub()) {
            device.deviceClass = 9;
            fields.forbid({"class", "subClass"}, "a hub's class is 9");
            device.deviceProtocol = static_cast<std::uint8_t>(fields.integer("protocol", 0, 2).value_or(1));
        } else {
            device.deviceClass = static_cast<std::uint8_t>(fields.integer("class", 0, 255).value_or(0));
            device.deviceSubClass = static_cast<std::uint8_t>(fields.integer("subClass", 0, 255).value_or(0));
            device.deviceProtocol = static_cast<std::uint8_t>(fields.integer("protocol", 0, 255).value_or(0));
        }
        if (const auto speed = fields.choice("speed", {"low", "full", "high", "super"})) {
            device.speed = static_cast<Speed>(*speed);
            if (device.isHub() && (device.speed == Speed::Low || device.speed == Speed::Super)) {
                fields.fail("speed", "a hub's USB 2.0 side runs at \"full\" or \"high\" speed");
            }
        }
        const std::uint16_t usbDefault = device.hasSuperSpeedSide() || device.kind == Kind::FamilyHub ? 0x0210
                                         : device.speed == Speed::Super                               ? 0x0320
                                         : device.speed == Speed::High                                ? 0x0200
                                                                                                      : 0x0110;
        device.usbVersion = static_cast<std::uint16_t>(fields.integer("usbVersion", 0, 0xFFFF).value_or(usbDefault));
        device.release = static_cast<std::uint16_t>(fields.integer("release", 0, 0xFFFF).value_or(0x0100));
        device.configuration = static_cast<std::uint8_t>(fields.integer("configuration", 1, 255).value_or(1));
        device.maxPowerMilliamps = static_cast<std::uint16_t>(fields.integer("maxPower", 0, 900).value_or(100));
    }

    // The languages a device lists (string index 0): as given, else those its
    // per-language strings name, else US English when it has any string.
    void readStrings(Fields& fields, Device& device) {
        std::vector<std::uint16_t> seen;
        device.manufacturer = localized(fields, "manufacturer", seen);
        device.product = localized(fields, "product", seen);
        device.serial = localized(fields, "serial", seen);
        device.configurationText = localized(fields, "configurationString", seen);
        if (device.kind == Kind::FamilyHub) {
            if (!device.manufacturer) device.manufacturer = LocalizedText{u"Vostrel", {}};
            if (!device.product) device.product = LocalizedText{u"Vostrel 4-Port Hub", {}};
        }
        readInterfaces(fields, device, seen);
        if (const Document* list = fields.get("languages")) {
            if (!list->is_array() || list->size() > kMaxStringUnits) {
                fields.fail("languages", "expected a list of at most 126 language IDs such as \"0x0409\"");
            }
            for (std::size_t i = 0; i < list->size(); ++i) {
                device.languages.push_back(static_cast<std::uint16_t>(
                    readInteger((*list)[i], fields.at("languages") + "/" + std::to_string(i), 0, 0xFFFF, context_)));
            }
            return;
        }
        device.languages = seen;
        const bool anyText = device.manufacturer || device.product || device.serial || device.configurationText ||
                             std::any_of(device.interfaces.begin(), device.interfaces.end(),
                                         [](const InterfaceEntry& entry) { return entry.text.has_value(); });
        if (anyText && device.languages.empty()) device.languages.push_back(0x0409);
    }

    void readInterfaces(Fields& fields, Device& device, std::vector<std::uint16_t>& seen) {
        const Document* list = fields.get("interfaces");
        if (list == nullptr) {
            InterfaceEntry entry;
            if (device.isHub()) entry.interfaceClass = 9;
            else if (device.deviceClass != 0 && device.deviceClass != 0xEF) entry.interfaceClass = device.deviceClass;
            device.interfaces.push_back(entry);
            return;
        }
        if (!list->is_array() || list->empty() || list->size() > kMaxInterfaces) {
            fields.fail("interfaces", "expected a list of 1 to " + std::to_string(kMaxInterfaces) + " interfaces");
        }
        int pipes = 0;
        for (std::size_t i = 0; i < list->size(); ++i) {
            Fields item((*list)[i], fields.at("interfaces") + "/" + std::to_string(i), context_, "an interface");
            InterfaceEntry entry;
            entry.interfaceClass = static_cast<std::uint8_t>(item.integer("class", 0, 255).value_or(0xFF));
            entry.interfaceSubClass = static_cast<std::uint8_t>(item.integer("subClass", 0, 255).value_or(0));
            entry.interfaceProtocol = static_cast<std::uint8_t>(item.integer("protocol", 0, 255).value_or(0));
            entry.endpoints = static_cast<std::uint8_t>(item.integer("endpoints", 0, 15).value_or(1));
            entry.text = localized(item, "string", seen);
            pipes += entry.endpoints;
            if (pipes > kMaxPipes) item.fail("endpoints", "a device has at most 30 endpoints in all");
            item.finish();
            device.interfaces.push_back(std::move(entry));
        }
    }

    void readBehaviour(Fields& fields, Device& device) {
        device.state = static_cast<State>(
            fields.choice("state", {"present", "unplugged", "failed", "unconfigured", "wedged"}).value_or(0));
        device.failStatus = static_cast<std::uint32_t>(fields.integer("failStatus", 2, 5).value_or(2));
        device.wedgedAs = static_cast<WedgeMode>(fields.choice("wedgedAs", {"unconfigured", "failed"}).value_or(0));
        if (const Document* flaky = fields.get("flaky")) {
            if (!flaky->is_number() || !(flaky->get<double>() > 0) || flaky->get<double>() > 1e6) {
                fields.fail("flaky", "expected the seconds after a heal until the device wedges again (above 0)");
            }
            device.flakyMs = std::max<std::int64_t>(1, std::llround(flaky->get<double>() * 1000));
        }
        device.wedgesAt = fields.integer("wedgesAt", 0, INT64_MAX / 2);
    }

    void readHub(Fields& fields, Device& device, int tier) {
        if (device.kind == Kind::Hub) {
            device.portCount = static_cast<int>(fields.integer("portCount", 1, 15).value_or(4));
            fields.forbid({"portPower", "programmed"}, "only hubs of the family switch port power");
        } else {
            device.portPower.assign(kFamilyPortCount, true);
            if (const Document* power = fields.get("portPower")) {
                if (!power->is_array() || power->size() != kFamilyPortCount ||
                    !std::all_of(power->begin(), power->end(), [](const Document& v) { return v.is_boolean(); })) {
                    fields.fail("portPower", "expected four true/false values, for ports 1 to 4");
                }
                for (int i = 0; i < kFamilyPortCount; ++i) device.portPower[i] = (*power)[i].get<bool>();
            }
            if (const Document* programmed = fields.get("programmed")) {
                Fields item(*programmed, fields.at("programmed"), context_, "the programmed values");
                device.programmed = Programming{
                    static_cast<std::uint32_t>(item.required("configuration", 0, UINT32_MAX)),
                    static_cast<std::uint32_t>(item.required("serial", 0, UINT32_MAX)),
                    static_cast<std::uint32_t>(item.required("serial2", 0, UINT32_MAX))};
                item.finish();
            }
        }
        std::string locationTag = device.location;
        std::replace(locationTag.begin(), locationTag.end(), '-', '&');
        std::replace(locationTag.begin(), locationTag.end(), '.', '&');
        auto defaultName = [&](std::uint16_t productId) {
            return ascii16("USB#VID_" + hex4(device.vendorId) + "&PID_" + hex4(productId) + "#6&" + locationTag + "#" +
                           kHubInterfaceGuid);
        };
        device.name = fields.name("name").value_or(defaultName(device.productId));
        claimHubName(device.name, fields.at("name"));
        if (device.hasSuperSpeedSide()) {
            device.superSpeedName = fields.name("superSpeedName").value_or(defaultName(device.superSpeedProductId));
            claimHubName(device.superSpeedName, fields.at("superSpeedName"));
        } else {
            fields.forbid({"superSpeedName"}, "the hub has no SuperSpeed side (no \"superSpeedProductId\")");
        }
        device.legacyConnectionQuery = fields.flag("legacyConnectionQuery").value_or(false);
        device.devices = readDevices(fields, device.portCount, device.location, ".", tier + 1);
    }

    Context context_;
    std::map<std::string, std::string> ids_;
    std::map<int, std::string> numbers_;
    std::vector<std::pair<std::u16string, std::string>> interfacePaths_;
    std::vector<std::pair<std::u16string, std::string>> hubNames_;
};

}  // namespace

Document parseDocument(std::string_view text, const std::string& label) {
    DocumentBuilder builder;
    if (Document::sax_parse(text.begin(), text.end(), &builder)) return builder.take();
    // Line and column of the character at which reading stopped.
    const std::size_t end = std::min(builder.failedAt() == 0 ? 0 : builder.failedAt() - 1, text.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') ++line, column = 1;
        else ++column;
    }
    throw DescriptionError(label + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
                           builder.failure());
}

Bench buildBench(const Document& document, const std::string& label) { return BenchReader(label).read(document); }

std::string formatDocument(const Document& document) { return document.dump(2) + "\n"; }

}  // namespace vostrel::sim
