// The HID layer on Windows: device-setup services to enumerate, the HID client
// library for identifiers and report lengths, synchronous file I/O on the
// device handle, and a message box for the notice.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "hid.h"
#include "windows_hid_api.h"

WindowsHidApi RealWindowsHidApi() {
  return {&::HidD_GetHidGuid,        &::SetupDiGetClassDevsA,
          &::SetupDiEnumDeviceInterfaces, &::SetupDiGetDeviceInterfaceDetailA,
          &::SetupDiDestroyDeviceInfoList, &::CreateFileA,
          &::CloseHandle,            &::HidD_GetAttributes,
          &::HidD_GetPreparsedData,  &::HidP_GetCaps,
          &::HidD_FreePreparsedData, &::HidD_SetNumInputBuffers,
          &::WriteFile,              &::ReadFile,
          &::MessageBoxA};
}

WindowsHidApi g_windows_hid_api = RealWindowsHidApi();

struct HidDevice {
  HANDLE handle;
};

namespace {

// Releases the device set on every way out of the enumeration.
struct DeviceSet {
  HDEVINFO set;
  ~DeviceSet() {
    if (set != INVALID_HANDLE_VALUE) g_windows_hid_api.SetupDiDestroyDeviceInfoList(set);
  }
};

// The device path of one interface, its detail record sized by its own size
// query. False when the interface has no usable detail.
bool GetDevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface, std::string* path) {
  const WindowsHidApi& api = g_windows_hid_api;
  DWORD required = 0;
  api.SetupDiGetDeviceInterfaceDetailA(set, iface, nullptr, 0, &required, nullptr);
  constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (required <= kPathOffset) return false;

  // DWORD storage keeps the record's alignment.
  std::unique_ptr<DWORD[]> storage(new (std::nothrow) DWORD[(required + 3) / 4]);
  if (!storage) return false;
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  DWORD second_size = 0;
  if (!api.SetupDiGetDeviceInterfaceDetailA(set, iface, detail, required, &second_size, nullptr)) {
    return false;
  }
  path->assign(detail->DevicePath, strnlen(detail->DevicePath, required - kPathOffset));
  return !path->empty();
}

}  // namespace

std::vector<HidInterface> HidListInterfaces() {
  const WindowsHidApi& api = g_windows_hid_api;
  std::vector<HidInterface> interfaces;
  GUID hid_guid;
  api.HidD_GetHidGuid(&hid_guid);
  const DeviceSet devices{
      api.SetupDiGetClassDevsA(&hid_guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)};
  if (devices.set == INVALID_HANDLE_VALUE) return interfaces;

  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    if (!api.SetupDiEnumDeviceInterfaces(devices.set, nullptr, &hid_guid, index, &iface)) break;
    std::string path;
    // An interface whose path cannot be had is passed over like one that
    // cannot be opened. Identifiers are known only once it is open.
    if (GetDevicePath(devices.set, &iface, &path)) interfaces.push_back({path, false, 0, 0});
  }
  return interfaces;
}

HidDevice* HidOpen(const HidInterface& iface, int* error) {
  const HANDLE handle = g_windows_hid_api.CreateFileA(
      iface.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(GetLastError());
    return nullptr;
  }
  auto* device = new (std::nothrow) HidDevice{handle};
  if (device == nullptr) {
    g_windows_hid_api.CloseHandle(handle);
    *error = ERROR_NOT_ENOUGH_MEMORY;
  }
  return device;
}

void HidClose(HidDevice* device) {
  if (device == nullptr) return;
  g_windows_hid_api.CloseHandle(device->handle);
  delete device;
}

bool HidGetAttributes(HidDevice* device, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (!g_windows_hid_api.HidD_GetAttributes(device->handle, &attributes)) return false;
  *vendor_id = attributes.VendorID;
  *product_id = attributes.ProductID;
  return true;
}

bool HidGetCaps(HidDevice* device, HidCaps* caps) {
  const WindowsHidApi& api = g_windows_hid_api;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!api.HidD_GetPreparsedData(device->handle, &preparsed)) return false;
  HIDP_CAPS platform_caps{};
  const NTSTATUS status = api.HidP_GetCaps(preparsed, &platform_caps);
  api.HidD_FreePreparsedData(preparsed);
  if (status != HIDP_STATUS_SUCCESS) return false;
  caps->InputReportByteLength = platform_caps.InputReportByteLength;
  caps->OutputReportByteLength = platform_caps.OutputReportByteLength;
  return true;
}

// The HID class driver keeps a ring of input reports for each handle, 32 by
// default, and drops the oldest when the program reads more slowly than the
// device sends. 512 is the largest ring it allows.
bool HidEnlargeInputQueue(HidDevice* device) {
  constexpr ULONG kMostInputBuffers = 512;
  return g_windows_hid_api.HidD_SetNumInputBuffers(device->handle, kMostInputBuffers) != 0;
}

bool HidWriteReport(HidDevice* device, std::span<const std::uint8_t> report) {
  DWORD written = 0;
  return g_windows_hid_api.WriteFile(device->handle, report.data(),
                                     static_cast<DWORD>(report.size()), &written, nullptr) != 0;
}

bool HidReadReport(HidDevice* device, std::span<std::uint8_t> report, std::size_t* delivered) {
  DWORD read = 0;
  *delivered = 0;
  if (!g_windows_hid_api.ReadFile(device->handle, report.data(), static_cast<DWORD>(report.size()),
                                  &read, nullptr)) {
    return false;
  }
  *delivered = read < report.size() ? read : report.size();
  return true;
}

void HidShowErrorNotice(const char* text, const char* caption) {
  g_windows_hid_api.MessageBoxA(nullptr, text, caption, MB_OK);
}

void HidShowOpenFailure(const HidInterface& iface, int error) {
  std::fprintf(stderr, "dmx-terminal: cannot open %s: Windows error %d\n", iface.path.c_str(),
               error);
}
