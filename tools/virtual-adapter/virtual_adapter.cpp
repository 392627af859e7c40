// virtual-adapter: a DMX adapter made by the kernel. The host sees a hidraw
// node and a sysfs entry like any USB adapter's, and the device answers
// command reports with the simulated adapter's dialogue.
//
//   virtual-adapter [--transport uhid|gadget] [--other-first] [--other-only]
//                   [--second-adapter] [--ready-file PATH]
//
// --transport       uhid (default): the kernel's uhid driver; gadget: a USB
//                   HID gadget on dummy_hcd, enumerated by usbhid, one device
//                   controller per device
// --other-first     first create a device of the same vendor, another product
// --other-only      create only that other device
// --second-adapter  create a second adapter after the first
// --ready-file      write PATH once the host has every device
//
// Each device logs the commands it receives on standard error. It ends when
// interrupted, or when every adapter has been unplugged with ~unplug.
#include <dirent.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "virtual_device.h"

volatile int g_stop = 0;

namespace {

bool CreateDevice(VirtualDevice& device) {
  return device.transport == Transport::kUhid ? CreateUhidDevice(device)
                                              : CreateGadgetDevice(device);
}

void DestroyDevice(VirtualDevice& device) {
  if (device.transport == Transport::kUhid) {
    DestroyUhidDevice(device);
  } else {
    DestroyGadgetDevice(device);
  }
}

void SendInput(VirtualDevice& device, std::span<const std::uint8_t> report) {
  if (device.transport == Transport::kUhid) {
    SendUhidInput(device, report);
  } else {
    SendGadgetInput(device, report);
  }
}

void ServeDevice(VirtualDevice& device) {
  if (device.transport == Transport::kUhid) {
    ServeUhidDevice(device);
  } else {
    ServeGadgetDevice(device);
  }
}

// The USB device controllers present, in name order (dummy_udc.0, ...).
std::vector<std::string> DeviceControllers() {
  std::vector<std::string> names;
  if (DIR* dir = opendir("/sys/class/udc")) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void OnSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr,
               "usage: virtual-adapter [--transport uhid|gadget] [--other-first] [--other-only] "
               "[--second-adapter] [--ready-file PATH]\n");
  return 2;
}

}  // namespace

void AnswerCommand(VirtualDevice& device, std::span<const std::uint8_t> command,
                   std::size_t wire_bytes) {
  std::string_view text;
  if (ModelCommandText(command, &text)) {
    std::fprintf(stderr, "%s: command \"%.*s\" (%zu bytes)\n", device.label.c_str(),
                 static_cast<int>(text.size()), text.data(), wire_bytes);
  } else {
    std::fprintf(stderr, "%s: malformed command report (%zu bytes)\n", device.label.c_str(),
                 wire_bytes);
  }
  ModelTakeCommand(device.model, command);
  if (device.model.unplugged) {
    std::fprintf(stderr, "%s: unplugged\n", device.label.c_str());
    DestroyDevice(device);
    device.unplugged = true;
    return;
  }
  while (!device.model.pending.empty() && !g_stop) {
    const ModelEvent next = ModelNextEvent(device.model);
    if (next.kind == ModelEvent::kReport) {
      SendInput(device, next.report);
    } else {
      // A device cannot make the host's read fail or come back empty; say so
      // instead of leaving the reader waiting.
      SendInput(device, ModelReplyReport("(not possible through the kernel)\r\n>"));
    }
  }
}

int main(int argc, char** argv) {
  Transport transport = Transport::kUhid;
  bool other_first = false, other_only = false, second_adapter = false;
  std::string ready_file;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--other-first") {
      other_first = true;
    } else if (arg == "--other-only") {
      other_only = true;
    } else if (arg == "--second-adapter") {
      second_adapter = true;
    } else if (arg == "--ready-file" && i + 1 < argc) {
      ready_file = argv[++i];
    } else if (arg == "--transport" && i + 1 < argc) {
      const std::string_view name = argv[++i];
      if (name != "uhid" && name != "gadget") return Usage();
      transport = name == "uhid" ? Transport::kUhid : Transport::kGadget;
    } else {
      return Usage();
    }
  }

  std::vector<VirtualDevice> devices;
  const auto add = [&devices, transport](const char* label, std::uint16_t product) {
    VirtualDevice device;
    device.label = label;
    device.product = product;
    device.transport = transport;
    devices.push_back(std::move(device));
  };
  if (other_first || other_only) add("other-product", kOtherProduct);
  if (!other_only) add("adapter", kAdapterProduct);
  if (second_adapter && !other_only) add("second-adapter", kAdapterProduct);

  if (transport == Transport::kGadget) {
    const std::vector<std::string> controllers = DeviceControllers();
    if (controllers.size() < devices.size()) {
      std::fprintf(stderr,
                   "virtual-adapter: %zu USB device controllers for %zu devices "
                   "(modprobe dummy_hcd num=2)\n",
                   controllers.size(), devices.size());
      return 1;
    }
    for (std::size_t i = 0; i < devices.size(); ++i) devices[i].udc = controllers[i];
  }

  struct sigaction action{};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  // One at a time, so the host numbers the hidraw nodes in this order.
  int status = 0;
  for (VirtualDevice& device : devices) {
    if (!CreateDevice(device)) {
      status = 1;
      g_stop = 1;
      break;
    }
  }
  if (!g_stop && !ready_file.empty()) {
    if (std::FILE* ready = std::fopen(ready_file.c_str(), "w")) std::fclose(ready);
  }

  while (!g_stop) {
    std::vector<pollfd> fds;
    for (const VirtualDevice& device : devices) fds.push_back({device.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & POLLIN)) ServeDevice(devices[i]);
    }
    const bool any_adapter_left = std::any_of(devices.begin(), devices.end(), [](const auto& d) {
      return d.product == kAdapterProduct && !d.unplugged;
    });
    if (!any_adapter_left && !other_only) break;
  }
  // One at a time, last first, each gone from the host before the next goes:
  // whoever watches the host's devices (udev, Wine) hears of each removal on
  // its own, as when adapters are unplugged one after the other.
  for (auto device = devices.rbegin(); device != devices.rend(); ++device) {
    const std::size_t nodes_before = CountHidrawNodes();
    const bool present = device->started && !device->unplugged;
    DestroyDevice(*device);
    for (int i = 0; present && i < 500 && CountHidrawNodes() >= nodes_before; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (present) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  return status;
}
