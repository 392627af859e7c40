// The HID layer of the demo build: a simulated adapter instead of a platform.
// Its enumeration shows an interface that cannot be opened, a device of the
// adapter's vendor with another product, then the adapter, so discovery has
// something to pass over on every run.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "adapter_model.h"
#include "hid.h"
#include "tty_notice.h"

namespace {

enum class SimKind { kLocked, kOtherProduct, kAdapter };

struct SimInterface {
  const char* path;
  SimKind kind;
  std::uint16_t vendor_id;
  std::uint16_t product_id;
};

constexpr SimInterface kInterfaces[] = {
    {"sim:locked-keyboard", SimKind::kLocked, 0x046D, 0xC31C},
    {"sim:other-product", SimKind::kOtherProduct, 0x0F48, 0x4202},
    {"sim:dmx-adapter", SimKind::kAdapter, 0x0F48, 0x4201},
};

AdapterModel g_model;

}  // namespace

struct HidDevice {
  const SimInterface* sim;
};

std::vector<HidInterface> HidListInterfaces() {
  std::vector<HidInterface> list;
  // Identifiers are known only once opened, as on Windows.
  for (const SimInterface& sim : kInterfaces) list.push_back({sim.path, false, 0, 0});
  return list;
}

HidDevice* HidOpen(const HidInterface& iface, int* error) {
  for (const SimInterface& sim : kInterfaces) {
    if (iface.path != sim.path) continue;
    if (sim.kind == SimKind::kLocked) {
      *error = EACCES;
      return nullptr;
    }
    auto* device = new (std::nothrow) HidDevice{&sim};
    if (device == nullptr) *error = ENOMEM;
    return device;
  }
  *error = ENOENT;
  return nullptr;
}

void HidClose(HidDevice* device) { delete device; }

bool HidGetAttributes(HidDevice* device, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  *vendor_id = device->sim->vendor_id;
  *product_id = device->sim->product_id;
  return true;
}

bool HidGetCaps(HidDevice* device, HidCaps* caps) {
  if (device->sim->kind != SimKind::kAdapter) return false;
  caps->InputReportByteLength = kModelReportLength;
  caps->OutputReportByteLength = kModelReportLength;
  return true;
}

bool HidWriteReport(HidDevice* device, std::span<const std::uint8_t> report) {
  if (device->sim->kind != SimKind::kAdapter) return false;
  return ModelTakeCommand(g_model, report);
}

bool HidReadReport(HidDevice* device, std::span<std::uint8_t> report, std::size_t* delivered) {
  *delivered = 0;
  if (device->sim->kind != SimKind::kAdapter) return false;
  const ModelEvent event = ModelNextEvent(g_model);
  if (event.kind == ModelEvent::kReadFails) return false;
  if (event.kind == ModelEvent::kReadsNothing) return true;
  const std::size_t count = std::min(event.report.size(), report.size());
  std::memcpy(report.data(), event.report.data(), count);
  *delivered = count;
  return true;
}

void HidShowErrorNotice(const char* text, const char* caption) { ShowTtyNotice(text, caption); }

// The model queues a whole reply.
bool HidEnlargeInputQueue(HidDevice*) { return true; }

void HidShowOpenFailure(const HidInterface& iface, int error) {
  std::fprintf(stderr, "dmx-terminal: cannot open %s: %s\n", iface.path.c_str(),
               std::strerror(error));
}
