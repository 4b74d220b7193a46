// The Windows USB stack's device I/O control codes and the structures that
// cross them, byte for byte (packed, little-endian). Every USB stack behind
// the library's seam speaks exactly this: the Windows calls themselves, the
// module named by VOSTREL_USBSTACK, the simulator and the test doubles.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vostrel::usb {

inline constexpr std::uint32_t IOCTL_GET_HCD_DRIVERKEY_NAME = 0x220424;
inline constexpr std::uint32_t IOCTL_USB_GET_ROOT_HUB_NAME = 0x220408;
// Same value as the root hub name: a host controller's handle answers the
// one, a hub's handle the other.
inline constexpr std::uint32_t IOCTL_USB_GET_NODE_INFORMATION = 0x220408;
inline constexpr std::uint32_t IOCTL_USB_GET_NODE_CONNECTION_INFORMATION = 0x22040C;
inline constexpr std::uint32_t IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION = 0x220410;
inline constexpr std::uint32_t IOCTL_USB_GET_NODE_CONNECTION_NAME = 0x220414;
inline constexpr std::uint32_t IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX = 0x220448;

inline constexpr std::uint8_t USB_DEVICE_DESCRIPTOR_TYPE = 1;
inline constexpr std::uint8_t USB_CONFIGURATION_DESCRIPTOR_TYPE = 2;
inline constexpr std::uint8_t USB_STRING_DESCRIPTOR_TYPE = 3;
inline constexpr std::uint8_t USB_INTERFACE_DESCRIPTOR_TYPE = 4;
inline constexpr std::uint8_t USB_ENDPOINT_DESCRIPTOR_TYPE = 5;

// USB_HUB_NODE
inline constexpr std::uint32_t UsbHub = 0;
inline constexpr std::uint32_t UsbMIParent = 1;

// USB_DEVICE_SPEED
inline constexpr std::uint8_t UsbLowSpeed = 0;
inline constexpr std::uint8_t UsbFullSpeed = 1;
inline constexpr std::uint8_t UsbHighSpeed = 2;
inline constexpr std::uint8_t UsbSuperSpeed = 3;

#pragma pack(push, 1)

struct USB_DEVICE_DESCRIPTOR {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t bcdUSB;
    std::uint8_t bDeviceClass;
    std::uint8_t bDeviceSubClass;
    std::uint8_t bDeviceProtocol;
    std::uint8_t bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    std::uint8_t iManufacturer;
    std::uint8_t iProduct;
    std::uint8_t iSerialNumber;
    std::uint8_t bNumConfigurations;
};
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, idVendor) == 8);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, idProduct) == 10);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, bcdDevice) == 12);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, iManufacturer) == 14);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, iSerialNumber) == 16);

struct USB_CONFIGURATION_DESCRIPTOR {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t wTotalLength;
    std::uint8_t bNumInterfaces;
    std::uint8_t bConfigurationValue;
    std::uint8_t iConfiguration;
    std::uint8_t bmAttributes;
    std::uint8_t MaxPower;
};
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(offsetof(USB_CONFIGURATION_DESCRIPTOR, iConfiguration) == 6);

struct USB_INTERFACE_DESCRIPTOR {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bInterfaceNumber;
    std::uint8_t bAlternateSetting;
    std::uint8_t bNumEndpoints;
    std::uint8_t bInterfaceClass;
    std::uint8_t bInterfaceSubClass;
    std::uint8_t bInterfaceProtocol;
    std::uint8_t iInterface;
};
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(offsetof(USB_INTERFACE_DESCRIPTOR, iInterface) == 8);

struct USB_ENDPOINT_DESCRIPTOR {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bEndpointAddress;
    std::uint8_t bmAttributes;
    std::uint16_t wMaxPacketSize;
    std::uint8_t bInterval;
};
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

struct USB_PIPE_INFO {
    USB_ENDPOINT_DESCRIPTOR EndpointDescriptor;
    std::uint32_t ScheduleOffset;
};
static_assert(sizeof(USB_PIPE_INFO) == 11);

struct USB_HUB_DESCRIPTOR {
    std::uint8_t bDescriptorLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bNumberOfPorts;
    std::uint16_t wHubCharacteristics;
    std::uint8_t bPowerOnToPowerGood;
    std::uint8_t bHubControlCurrent;
    std::uint8_t bRemoveAndPowerMask[64];
};
static_assert(sizeof(USB_HUB_DESCRIPTOR) == 71);

struct USB_HUB_INFORMATION {
    USB_HUB_DESCRIPTOR HubDescriptor;
    std::uint8_t HubIsBusPowered;
};
static_assert(sizeof(USB_HUB_INFORMATION) == 72);

struct USB_MI_PARENT_INFORMATION {
    std::uint32_t NumberOfInterfaces;
};

struct USB_NODE_INFORMATION {
    std::uint32_t NodeType;  // UsbHub or UsbMIParent
    union {
        USB_HUB_INFORMATION HubInformation;
        USB_MI_PARENT_INFORMATION MiParentInformation;
    } u;
};
static_assert(sizeof(USB_NODE_INFORMATION) == 76);
static_assert(offsetof(USB_NODE_INFORMATION, u) == 4);

inline constexpr int kMaxPipes = 30;  // room the connection query leaves for pipes

// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, with room for 30 pipes.
struct USB_NODE_CONNECTION_INFORMATION_EX {
    std::uint32_t ConnectionIndex;  // port number, from 1
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    std::uint8_t CurrentConfigurationValue;
    std::uint8_t Speed;  // USB_DEVICE_SPEED
    std::uint8_t DeviceIsHub;
    std::uint16_t DeviceAddress;
    std::uint32_t NumberOfOpenPipes;
    std::uint32_t ConnectionStatus;  // USB_CONNECTION_STATUS
    USB_PIPE_INFO PipeList[kMaxPipes];
};
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 365);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor) == 4);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, CurrentConfigurationValue) == 22);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed) == 23);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub) == 24);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, DeviceAddress) == 25);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, NumberOfOpenPipes) == 27);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus) == 31);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList) == 35);

// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: the older form, with a
// low-speed flag where the extended form has the speed.
struct USB_NODE_CONNECTION_INFORMATION {
    std::uint32_t ConnectionIndex;
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    std::uint8_t CurrentConfigurationValue;
    std::uint8_t LowSpeed;
    std::uint8_t DeviceIsHub;
    std::uint16_t DeviceAddress;
    std::uint32_t NumberOfOpenPipes;
    std::uint32_t ConnectionStatus;
    USB_PIPE_INFO PipeList[kMaxPipes];
};
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION) == 365);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed) == 23);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList) == 35);

struct USB_SETUP_PACKET {
    std::uint8_t bmRequest;
    std::uint8_t bRequest;
    std::uint16_t wValue;   // descriptor type in the high byte, index in the low byte
    std::uint16_t wIndex;   // language ID for strings, else 0
    std::uint16_t wLength;  // room for the descriptor
};

// IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: this header, then the
// descriptor's bytes.
struct USB_DESCRIPTOR_REQUEST {
    std::uint32_t ConnectionIndex;
    USB_SETUP_PACKET SetupPacket;
    // std::uint8_t Data[];
};
static_assert(sizeof(USB_DESCRIPTOR_REQUEST) == 12);
static_assert(offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket) == 4);

// Name answers: a fixed part, then the name's UTF-16 units with a NUL.
// ActualLength is the size of the whole answer in bytes.
struct USB_HCD_DRIVERKEY_NAME {
    std::uint32_t ActualLength;
    char16_t DriverKeyName[1];
};
static_assert(sizeof(USB_HCD_DRIVERKEY_NAME) == 6);

struct USB_ROOT_HUB_NAME {
    std::uint32_t ActualLength;
    char16_t RootHubName[1];
};
static_assert(sizeof(USB_ROOT_HUB_NAME) == 6);

struct USB_NODE_CONNECTION_NAME {
    std::uint32_t ConnectionIndex;
    std::uint32_t ActualLength;
    char16_t NodeName[1];
};
static_assert(sizeof(USB_NODE_CONNECTION_NAME) == 10);

// USB_STRING_DESCRIPTOR: bLength, bDescriptorType = 3, then UTF-16 units
// without a terminator. Index 0 holds the 16-bit language IDs instead.
struct USB_STRING_DESCRIPTOR_HEADER {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
};

#pragma pack(pop)

}  // namespace vostrel::usb
