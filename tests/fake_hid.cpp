#include "fake_hid.h"

#include <algorithm>
#include <cstring>

#include "adapter_link.h"

FakeHid g_fake_hid;

struct HidDevice {
  std::size_t index;
};

void ResetFakeHidAndAdapter() {
  delete g_adapter.handle;
  g_fake_hid = FakeHid{};
  g_adapter = AdapterState{};
}

FakeInterface MakeInterface(std::string path, std::uint16_t vendor_id, std::uint16_t product_id,
                            bool identified_before_open) {
  FakeInterface fake;
  fake.iface.path = std::move(path);
  fake.iface.identified = identified_before_open;
  if (identified_before_open) {
    fake.iface.vendor_id = vendor_id;
    fake.iface.product_id = product_id;
  }
  fake.vendor_id = vendor_id;
  fake.product_id = product_id;
  return fake;
}

std::vector<std::uint8_t> ReplyReport(std::string_view text, std::size_t length, int count) {
  std::vector<std::uint8_t> report(std::max(length, text.size() + 3), 0);
  report[2] = static_cast<std::uint8_t>(count >= 0 ? count : static_cast<int>(text.size()));
  std::memcpy(report.data() + 3, text.data(), text.size());
  report.resize(length);
  return report;
}

void ConnectByHand(std::uint16_t input_length, std::uint16_t output_length) {
  g_fake_hid.interfaces.push_back(MakeInterface("fake-adapter", 0x0F48, 0x4201));
  int error = 0;
  g_adapter.handle = HidOpen(g_fake_hid.interfaces.back().iface, &error);
  g_adapter.connected = true;
  g_adapter.caps = HidCaps{input_length, output_length};
  g_adapter.output_report_length = output_length;
  g_adapter.input_report.assign(input_length + 1u, 0);
  g_adapter.output_report.assign(output_length + 1u, 0);
}

std::vector<HidInterface> HidListInterfaces() {
  std::vector<HidInterface> list;
  for (const FakeInterface& fake : g_fake_hid.interfaces) list.push_back(fake.iface);
  return list;
}

HidDevice* HidOpen(const HidInterface& iface, int* error) {
  for (std::size_t i = 0; i < g_fake_hid.interfaces.size(); ++i) {
    const FakeInterface& fake = g_fake_hid.interfaces[i];
    if (fake.iface.path != iface.path) continue;
    if (!fake.openable) {
      *error = fake.open_error;
      return nullptr;
    }
    g_fake_hid.opened.push_back(iface.path);
    ++g_fake_hid.live_devices;
    return new HidDevice{i};
  }
  *error = 2;  // ENOENT
  return nullptr;
}

void HidClose(HidDevice* device) {
  g_fake_hid.closed.push_back(g_fake_hid.interfaces[device->index].iface.path);
  --g_fake_hid.live_devices;
  delete device;
}

bool HidGetAttributes(HidDevice* device, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  const FakeInterface& fake = g_fake_hid.interfaces[device->index];
  if (!fake.attributes_readable) {
    // A failing platform call may still have written identifiers, even
    // matching ones: only the result may be trusted.
    *vendor_id = fake.vendor_id;
    *product_id = fake.product_id;
    return false;
  }
  *vendor_id = fake.vendor_id;
  *product_id = fake.product_id;
  return true;
}

bool HidGetCaps(HidDevice* device, HidCaps* caps) {
  const FakeInterface& fake = g_fake_hid.interfaces[device->index];
  if (!fake.caps_readable) return false;
  *caps = fake.caps;
  return true;
}

bool HidEnlargeInputQueue(HidDevice* device) {
  g_fake_hid.queues_enlarged.push_back(g_fake_hid.interfaces[device->index].iface.path);
  return true;
}

bool HidWriteReport(HidDevice*, std::span<const std::uint8_t> report) {
  g_fake_hid.writes.emplace_back(report.begin(), report.end());
  return g_fake_hid.write_succeeds;
}

bool HidReadReport(HidDevice*, std::span<std::uint8_t> report, std::size_t* delivered) {
  ++g_fake_hid.read_calls;
  *delivered = 0;
  if (g_fake_hid.reads.empty()) return false;
  FakeRead next = std::move(g_fake_hid.reads.front());
  g_fake_hid.reads.pop_front();
  if (next.kind == FakeRead::kFail) return false;
  if (next.kind == FakeRead::kNothing) return true;
  // Like a real device, never more than the report length.
  const std::size_t count = std::min(next.bytes.size(), report.size());
  std::copy_n(next.bytes.begin(), count, report.begin());
  *delivered = count;
  return true;
}

void HidShowErrorNotice(const char* text, const char* caption) {
  ++g_fake_hid.notices;
  g_fake_hid.last_notice = std::string(caption) + ": " + text;
}

void HidShowOpenFailure(const HidInterface& iface, int) {
  g_fake_hid.open_failures_shown.push_back(iface.path);
}
