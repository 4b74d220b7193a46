// Benches for tests that scan umockdev test beds: besides the simulator's
// examples, benches with what real buses hold and the examples do not.
#pragma once

namespace vostrel::test {

// A family hub on an xHCI port, with a device without strings, a device with
// Japanese strings only, an empty port, and a device that failed its
// enumeration; a USB 2 controller with a family hub behind another maker's
// hub, whose ports hold a device short of power (without strings) and one
// with strings of 126 characters.
inline constexpr const char* kSpecialBench = R"({"controllers": [
  {"number": 0, "portCount": 2, "devices": [
    {"port": 2, "kind": "family-hub", "serial": "シリアル-1", "devices": [
      {"port": 1, "vendorId": "0x1A2B", "productId": "0x0001", "languages": []},
      {"port": 2, "vendorId": "0x1A2B", "productId": "0x0002", "languages": ["0x0411"],
       "manufacturer": "ルーメン研究所", "product": "HDカメラ", "serial": "番号1",
       "interfaces": [{"class": 14, "endpoints": 2, "string": "映像"}], "configurationString": "構成"},
      {"port": 4, "vendorId": "0x1A2B", "productId": "0x0004", "state": "failed", "failStatus": 2,
       "manufacturer": "Never", "product": "Seen"}]}]},
  {"interfacePath": "\\\\?\\pci#ehci", "usb3": false, "portCount": 3, "devices": [
    {"port": 3, "kind": "hub", "vendorId": "0x05E3", "productId": "0x0608", "portCount": 7, "devices": [
      {"port": 7, "kind": "family-hub", "serial": "BEHIND", "devices": [
        {"port": 1, "vendorId": "0x1A2B", "productId": "0x0011", "state": "failed", "failStatus": 5},
        {"port": 3, "vendorId": "0x1A2B", "productId": "0x0013", "speed": "low",
         "manufacturer": "MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM",
         "product": "Mouse"}]}]}]}]})";

// One family hub on a USB 3 port with one device.
inline constexpr const char* kOneHub = R"({"controllers": [{"number": 0, "portCount": 1, "devices": [
  {"port": 1, "kind": "family-hub", "serial": "PLUG", "devices": [
    {"port": 2, "vendorId": "0x1A2B", "productId": "0x0002", "manufacturer": "Maker", "product": "Widget"}]}]}]})";

// A family hub on a USB 2.0 controller (its USB 2.0 hub device only) beside
// one on a USB 3 port, whose serial the first one's starts with.
inline constexpr const char* kUsb2OnlyBench = R"({"controllers": [
  {"number": 1, "usb3": false, "portCount": 2, "devices": [
    {"port": 2, "kind": "family-hub", "serial": "HUB-7", "devices": [
      {"port": 4, "vendorId": "0x1A2B", "productId": "0x0044", "product": "Meter"}]}]},
  {"number": 0, "portCount": 1, "devices": [
    {"port": 1, "kind": "family-hub", "serial": "HUB-70"}]}]})";

}  // namespace vostrel::test
