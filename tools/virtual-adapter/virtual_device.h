// One virtual DMX device as the host sees it, and the two ways of making it:
// the kernel's uhid driver, or a USB HID gadget on a USB device controller
// (dummy_hcd) that the host's USB HID driver (usbhid) enumerates like a real
// USB device.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "adapter_model.h"

enum class Transport { kUhid, kGadget };

inline constexpr std::uint16_t kVendor = 0x0F48;
inline constexpr std::uint16_t kAdapterProduct = 0x4201;
inline constexpr std::uint16_t kOtherProduct = 0x4202;

// Vendor-defined page, 64-byte input and output reports, no report IDs.
inline constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x02,        //   Usage (2)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x03,        //   Usage (3)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};
inline constexpr std::size_t kReportDataLength = 64;

struct VirtualDevice {
  std::string label;
  std::uint16_t product = 0;
  Transport transport = Transport::kUhid;
  int fd = -1;  // /dev/uhid, or the gadget's /dev/hidgN
  bool started = false;
  bool bound = false;  // gadget only: bound to its device controller
  bool unplugged = false;
  AdapterModel model;
  std::string gadget_dir;  // gadget only: its configfs folder
  std::string udc;         // gadget only: the device controller it is bound to
};

// The hidraw nodes the host has now.
std::size_t CountHidrawNodes();

// Set by the signal handler: every wait gives up once it is set.
extern volatile int g_stop;

// The model's answer to one command report (report ID first), sent back
// through the device's transport. wire_bytes is how many bytes of it crossed
// the transport, for the log. Defined by the program; both transports call it.
void AnswerCommand(VirtualDevice& device, std::span<const std::uint8_t> command,
                   std::size_t wire_bytes);

// uhid: creates the device and waits until the kernel has started it.
bool CreateUhidDevice(VirtualDevice& device);
void DestroyUhidDevice(VirtualDevice& device);
void SendUhidInput(VirtualDevice& device, std::span<const std::uint8_t> report);
// Reads one uhid event and acts on it.
void ServeUhidDevice(VirtualDevice& device);

// Gadget: sets up the configfs gadget, binds it to the controller named in
// device.udc and waits until the host has made a hidraw node for it.
bool CreateGadgetDevice(VirtualDevice& device);
// Unbinding is a USB disconnect; then the gadget is taken apart.
void DestroyGadgetDevice(VirtualDevice& device);
void SendGadgetInput(VirtualDevice& device, std::span<const std::uint8_t> report);
// Reads one output report from the gadget and answers it.
void ServeGadgetDevice(VirtualDevice& device);
