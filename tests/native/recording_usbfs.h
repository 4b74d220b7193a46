// A usbfs behind the seam of platform/usbfs.h that records every request as
// text and answers as a hub with per-port power would: the setup packet of
// a control transfer as its eight bytes in hexadecimal, claims, releases,
// resets and closes, each with its node.
#pragma once

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/usbfs.h"
#include "usbbus/hub_requests.h"

namespace vostrel::test {

class RecordingUsbfs final : public platform::Usbfs {
public:
    // What the hubs answer.
    std::uint16_t hubCharacteristics = 0x0009;         // each port switched on its own
    std::map<std::string, std::uint16_t> characteristicsAt;  // by node, in place of hubCharacteristics
    std::error_code openError;                         // every open fails with it
    std::error_code claimError;                        // every claim fails with it
    std::map<std::uint8_t, std::error_code> refused;   // bRequest -> the transfer's error
    std::string refusingNode;                          // where `refused` applies; empty: everywhere
    std::set<std::pair<std::string, int>> powerless;   // (node, port) without power
    std::string superSpeedBus = "/dev/bus/usb/002/";   // its hubs answer as SuperSpeed hubs

    std::vector<std::string> log;
    int openNodes = 0;

    std::unique_ptr<platform::UsbfsDevice> open(const std::string& node, std::error_code& error) override {
        log.push_back("open " + node);
        error = openError;
        if (error) return nullptr;
        ++openNodes;
        return std::make_unique<Device>(*this, node);
    }

    std::vector<std::string> take() { return std::exchange(log, {}); }

    // Answers as a hub that switches each port's power, refusing nothing.
    void answerNormally() {
        hubCharacteristics = 0x0009;
        characteristicsAt.clear();
        openError.clear();
        claimError.clear();
        refused.clear();
        refusingNode.clear();
        powerless.clear();
    }

    static std::string hex(const usbbus::SetupPacket& setup) {
        std::string text;
        for (const std::uint8_t byte : usbbus::setupBytes(setup)) {
            char two[4];
            std::snprintf(two, sizeof two, "%02X", byte);
            if (!text.empty()) text += ' ';
            text += two;
        }
        return text;
    }

private:
    class Device final : public platform::UsbfsDevice {
    public:
        Device(RecordingUsbfs& owner, std::string node) : owner_(owner), node_(std::move(node)) {}
        ~Device() override {
            owner_.log.push_back("close " + node_);
            --owner_.openNodes;
        }

        std::error_code control(const usbbus::SetupPacket& setup, std::span<std::uint8_t> data,
                                std::size_t& transferred) override {
            owner_.log.push_back(node_ + " " + hex(setup));
            transferred = 0;
            const auto refusal = owner_.refused.find(setup.request);
            if (refusal != owner_.refused.end() && (owner_.refusingNode.empty() || owner_.refusingNode == node_)) {
                return refusal->second;
            }
            const int port = setup.index;
            if (setup.requestType == 0xA0 && setup.request == 6) {
                const std::uint8_t type = setup.value >> 8;
                const auto own = owner_.characteristicsAt.find(node_);
                const std::uint16_t characteristics =
                    own != owner_.characteristicsAt.end() ? own->second : owner_.hubCharacteristics;
                const std::uint8_t answer[] = {type == 0x2A ? std::uint8_t{12} : std::uint8_t{9}, type, 4,
                                               static_cast<std::uint8_t>(characteristics & 0xFF),
                                               static_cast<std::uint8_t>(characteristics >> 8), 50, 100, 0, 0};
                transferred = std::min<std::size_t>({sizeof answer, setup.length, data.size()});
                std::copy_n(answer, transferred, data.begin());
            } else if (setup.requestType == 0xA3 && setup.request == 0) {
                const bool superSpeed = node_.starts_with(owner_.superSpeedBus);
                const bool powered = !owner_.powerless.contains({node_, port});
                const std::uint16_t status = powered ? (superSpeed ? 0x0200 : 0x0100) : 0;
                const std::uint8_t answer[] = {static_cast<std::uint8_t>(status & 0xFF),
                                               static_cast<std::uint8_t>(status >> 8), 0, 0};
                transferred = std::min<std::size_t>(sizeof answer, data.size());
                std::copy_n(answer, transferred, data.begin());
            } else if (setup.requestType == 0x23 && setup.value == 8) {
                if (setup.request == 1) owner_.powerless.insert({node_, port});
                if (setup.request == 3) owner_.powerless.erase({node_, port});
            }
            return {};
        }
        std::error_code claimPort(unsigned port) override {
            owner_.log.push_back(node_ + " claim " + std::to_string(port));
            return owner_.claimError;
        }
        std::error_code releasePort(unsigned port) override {
            owner_.log.push_back(node_ + " release " + std::to_string(port));
            return {};
        }
        std::error_code reset() override {
            owner_.log.push_back(node_ + " reset");
            return {};
        }

    private:
        RecordingUsbfs& owner_;
        std::string node_;
    };
};

}  // namespace vostrel::test
