// The Windows HID layer, with stand-ins for the Win32 calls it makes: the
// arguments it passes, and a defined path for each platform failure.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adapter_link.h"
#include "case_name.h"
#include "windows_hid_api.h"

namespace {

struct FakeDevice {
  std::string path;
  bool detail_fails = false;
  bool openable = true;
  bool attributes_readable = true;
  USHORT vendor_id = 0;
  USHORT product_id = 0;
  bool preparsed_available = true;
  NTSTATUS caps_status = HIDP_STATUS_SUCCESS;
  USHORT input_length = 65;
  USHORT output_length = 65;
};

struct CreateCall {
  std::string path;
  DWORD access, share;
  LPSECURITY_ATTRIBUTES security;
  DWORD disposition, flags;
  HANDLE template_file;
};

struct FakeWindows {
  bool set_fails = false;
  std::vector<FakeDevice> devices;
  std::deque<std::vector<std::uint8_t>> reads;  // empty: ReadFile fails
  bool write_succeeds = true;

  int destroy_calls = 0;
  int enum_calls = 0;
  std::vector<DWORD> interface_cb_sizes;
  std::vector<DWORD> detail_cb_sizes;
  std::vector<DWORD> detail_sizes_passed;
  std::vector<CreateCall> creates;
  std::vector<std::size_t> closed;
  std::vector<DWORD> attribute_sizes;
  int preparsed_frees = 0;
  bool input_buffers_settable = true;
  std::vector<std::pair<std::size_t, ULONG>> input_buffer_calls;  // handle index, count
  std::vector<std::vector<std::uint8_t>> writes;
  std::vector<std::string> message_boxes;
};

FakeWindows fake;
const HDEVINFO kDeviceSet = reinterpret_cast<HDEVINFO>(0x5E7);

HANDLE HandleOf(std::size_t index) { return reinterpret_cast<HANDLE>(0x1000 + index); }
std::size_t IndexOf(HANDLE handle) { return reinterpret_cast<std::size_t>(handle) - 0x1000; }

void WINAPI FakeGetHidGuid(LPGUID guid) { std::memset(guid, 0x11, sizeof *guid); }

HDEVINFO WINAPI FakeGetClassDevs(const GUID*, PCSTR enumerator, HWND window, DWORD flags) {
  if (fake.set_fails || enumerator != nullptr || window != nullptr ||
      flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
    return INVALID_HANDLE_VALUE;
  }
  return kDeviceSet;
}

BOOL WINAPI FakeEnumInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                               PSP_DEVICE_INTERFACE_DATA data) {
  ++fake.enum_calls;
  fake.interface_cb_sizes.push_back(data->cbSize);
  if (index >= fake.devices.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->Reserved = index;
  return TRUE;
}

BOOL WINAPI FakeGetDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                          PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size, PDWORD required,
                          PSP_DEVINFO_DATA) {
  const FakeDevice& device = fake.devices[data->Reserved];
  const DWORD needed =
      offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + device.path.size() + 1;
  if (detail == nullptr) {
    if (required != nullptr) *required = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  fake.detail_sizes_passed.push_back(size);
  fake.detail_cb_sizes.push_back(detail->cbSize);
  if (device.detail_fails || size < needed || detail->cbSize != sizeof *detail) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, device.path.c_str(), device.path.size() + 1);
  return TRUE;
}

BOOL WINAPI FakeDestroy(HDEVINFO set) {
  if (set == kDeviceSet) ++fake.destroy_calls;
  return TRUE;
}

HANDLE WINAPI FakeCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE template_file) {
  fake.creates.push_back({path, access, share, security, disposition, flags, template_file});
  for (std::size_t i = 0; i < fake.devices.size(); ++i) {
    if (fake.devices[i].path != path) continue;
    if (!fake.devices[i].openable) break;
    return HandleOf(i);
  }
  SetLastError(ERROR_ACCESS_DENIED);
  return INVALID_HANDLE_VALUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
  fake.closed.push_back(IndexOf(handle));
  return TRUE;
}

BOOLEAN WINAPI FakeGetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
  const FakeDevice& device = fake.devices[IndexOf(handle)];
  fake.attribute_sizes.push_back(attributes->Size);
  if (!device.attributes_readable) {
    // A failing call may leave the record as garbage.
    attributes->VendorID = 0x0F48;
    attributes->ProductID = 0x4201;
    return FALSE;
  }
  attributes->VendorID = device.vendor_id;
  attributes->ProductID = device.product_id;
  return TRUE;
}

BOOLEAN WINAPI FakeGetPreparsed(HANDLE handle, PHIDP_PREPARSED_DATA* preparsed) {
  if (!fake.devices[IndexOf(handle)].preparsed_available) return FALSE;
  *preparsed = reinterpret_cast<PHIDP_PREPARSED_DATA>(handle);
  return TRUE;
}

NTSTATUS WINAPI FakeGetCaps(PHIDP_PREPARSED_DATA preparsed, PHIDP_CAPS caps) {
  const FakeDevice& device = fake.devices[IndexOf(reinterpret_cast<HANDLE>(preparsed))];
  if (device.caps_status != HIDP_STATUS_SUCCESS) return device.caps_status;
  caps->InputReportByteLength = device.input_length;
  caps->OutputReportByteLength = device.output_length;
  return HIDP_STATUS_SUCCESS;
}

BOOLEAN WINAPI FakeFreePreparsed(PHIDP_PREPARSED_DATA) {
  ++fake.preparsed_frees;
  return TRUE;
}

BOOLEAN WINAPI FakeSetNumInputBuffers(HANDLE handle, ULONG count) {
  fake.input_buffer_calls.emplace_back(IndexOf(handle), count);
  return fake.input_buffers_settable;
}

BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) return FALSE;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  fake.writes.emplace_back(bytes, bytes + size);
  *written = size;
  return fake.write_succeeds;
}

BOOL WINAPI FakeReadFile(HANDLE, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr || fake.reads.empty()) return FALSE;
  std::vector<std::uint8_t> next = std::move(fake.reads.front());
  fake.reads.pop_front();
  const DWORD count = next.size() < size ? static_cast<DWORD>(next.size()) : size;
  std::memcpy(data, next.data(), count);
  *read = count;
  return TRUE;
}

int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  fake.message_boxes.push_back(std::string(owner == nullptr ? "" : "owned ") + caption + "|" +
                               text + "|" + std::to_string(type));
  return IDOK;
}

class WindowsHidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeWindows{};
    g_adapter = AdapterState{};
    g_windows_hid_api = {&FakeGetHidGuid,    &FakeGetClassDevs,  &FakeEnumInterfaces,
                         &FakeGetDetail,     &FakeDestroy,       &FakeCreateFile,
                         &FakeCloseHandle,   &FakeGetAttributes, &FakeGetPreparsed,
                         &FakeGetCaps,       &FakeFreePreparsed, &FakeSetNumInputBuffers,
                         &FakeWriteFile,     &FakeReadFile,      &FakeMessageBox};
  }
  void TearDown() override {
    if (g_adapter.handle != nullptr) HidClose(g_adapter.handle);
    g_adapter = AdapterState{};
    g_windows_hid_api = RealWindowsHidApi();
  }
  static FakeDevice Device(std::string path, USHORT vendor = 0x0F48, USHORT product = 0x4201) {
    FakeDevice d;
    d.path = std::move(path);
    d.vendor_id = vendor;
    d.product_id = product;
    return d;
  }
  // One reply report of the adapter's 65 bytes, holding text.
  static void QueueReply(std::string_view text) {
    std::vector<std::uint8_t> reply(65, 0);
    reply[2] = static_cast<std::uint8_t>(text.size());
    std::memcpy(reply.data() + 3, text.data(), text.size());
    fake.reads.push_back(reply);
  }
  static HidDevice* Open(std::size_t index) {
    int error = 0;
    return HidOpen({fake.devices[index].path, false, 0, 0}, &error);
  }
};

TEST_F(WindowsHidTest, EachInterfaceDetailIsSizedByItsOwnQuery) {
  // A short first path: one record of its size would not hold the second.
  fake.devices = {Device(R"(\\?\hid#a)"),
                  Device(R"(\\?\hid#vid_0f48&pid_4201#7&2f1c3a1b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})"),
                  Device(R"(\\?\hid#c#1)")};
  const std::vector<HidInterface> list = HidListInterfaces();
  ASSERT_EQ(list.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(list[i].path, fake.devices[i].path);
    EXPECT_FALSE(list[i].identified);
    EXPECT_EQ(fake.detail_sizes_passed[i],
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + fake.devices[i].path.size() + 1);
    EXPECT_EQ(fake.detail_cb_sizes[i], sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
  }
  for (DWORD size : fake.interface_cb_sizes) EXPECT_EQ(size, sizeof(SP_DEVICE_INTERFACE_DATA));
#ifndef _WIN64
  EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), 28u);
  EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), 5u);
#endif
  EXPECT_EQ(fake.enum_calls, 4);
  EXPECT_EQ(fake.destroy_calls, 1);
}

TEST_F(WindowsHidTest, DeviceSetThatCannotBeMadeGivesNoInterfaces) {
  fake.devices = {Device("a")};
  fake.set_fails = true;
  EXPECT_TRUE(HidListInterfaces().empty());
  EXPECT_EQ(fake.enum_calls, 0);
  EXPECT_EQ(fake.destroy_calls, 0);
}

TEST_F(WindowsHidTest, InterfaceWithoutDetailIsPassedOver) {
  fake.devices = {Device("a"), Device("b"), Device("c")};
  fake.devices[1].detail_fails = true;
  const std::vector<HidInterface> list = HidListInterfaces();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, "a");
  EXPECT_EQ(list[1].path, "c");
  EXPECT_EQ(fake.destroy_calls, 1);
}

TEST_F(WindowsHidTest, OpensForSynchronousReadAndWriteSharedWithOthers) {
  fake.devices = {Device("a"), Device("locked")};
  fake.devices[1].openable = false;
  HidDevice* device = Open(0);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(fake.creates.size(), 1u);
  const CreateCall& call = fake.creates[0];
  EXPECT_EQ(call.path, "a");
  EXPECT_EQ(call.access, 0xC0000000u);
  EXPECT_EQ(call.share, 3u);
  EXPECT_EQ(call.security, nullptr);
  EXPECT_EQ(call.disposition, 3u);
  EXPECT_EQ(call.flags, 0u);
  EXPECT_EQ(call.template_file, nullptr);
  HidClose(device);
  EXPECT_EQ(fake.closed, (std::vector<std::size_t>{0}));

  int error = 0;
  EXPECT_EQ(HidOpen({"locked", false, 0, 0}, &error), nullptr);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

TEST_F(WindowsHidTest, UnreadableAttributesAreAFailureNotAMatch) {
  fake.devices = {Device("a", 0x1234, 0x5678), Device("b")};
  fake.devices[1].attributes_readable = false;
  HidDevice* a = Open(0);
  std::uint16_t vendor = 0, product = 0;
  EXPECT_TRUE(HidGetAttributes(a, &vendor, &product));
  EXPECT_EQ(vendor, 0x1234);
  EXPECT_EQ(product, 0x5678);
  EXPECT_EQ(fake.attribute_sizes[0], sizeof(HIDD_ATTRIBUTES));
#ifndef _WIN64
  EXPECT_EQ(sizeof(HIDD_ATTRIBUTES), 12u);
#endif
  HidDevice* b = Open(1);
  EXPECT_FALSE(HidGetAttributes(b, &vendor, &product));
  HidClose(a);
  HidClose(b);

  // Discovery therefore passes it over and closes it.
  HidDevice* handle = nullptr;
  fake.devices[0].vendor_id = 0x0F48;
  fake.devices[0].product_id = 0x4202;
  EXPECT_FALSE(FindAdapter(&handle, 0x0F48, 0x4201));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(fake.closed, (std::vector<std::size_t>{0, 1, 0, 1}));
}

struct CapsCase {
  const char* name;
  bool preparsed_available;
  NTSTATUS status;
  bool ok;
  int frees;
};

class WindowsCapsTest : public WindowsHidTest, public testing::WithParamInterface<CapsCase> {};

TEST_P(WindowsCapsTest, CapabilityQueryHasADefinedPath) {
  const CapsCase& c = GetParam();
  fake.devices = {Device("a")};
  fake.devices[0].preparsed_available = c.preparsed_available;
  fake.devices[0].caps_status = c.status;
  fake.devices[0].input_length = 33;
  fake.devices[0].output_length = 65;
  HidDevice* device = Open(0);
  HidCaps caps{1, 2};
  EXPECT_EQ(HidGetCaps(device, &caps), c.ok);
  EXPECT_EQ(caps.InputReportByteLength, c.ok ? 33 : 1);
  EXPECT_EQ(caps.OutputReportByteLength, c.ok ? 65 : 2);
  EXPECT_EQ(fake.preparsed_frees, c.frees);
  HidClose(device);
}

INSTANTIATE_TEST_SUITE_P(
    Caps, WindowsCapsTest,
    testing::Values(CapsCase{"Success", true, HIDP_STATUS_SUCCESS, true, 1},
                    CapsCase{"NoPreparsedData", false, HIDP_STATUS_SUCCESS, false, 0},
                    CapsCase{"CapsQueryFails", true, HIDP_STATUS_INVALID_PREPARSED_DATA, false, 1}),
    CaseName());

// The driver's default ring of 32 input reports loses reports of a long reply
// that the console prints slowly: the adapter's handle asks for the largest.
class WindowsInputQueueTest : public WindowsHidTest, public testing::WithParamInterface<bool> {};

TEST_P(WindowsInputQueueTest, AdapterHandleAsksFor512InputBuffersAndGoesOnIfRefused) {
  fake.input_buffers_settable = GetParam();
  fake.devices = {Device("other", 0x0F48, 0x4202), Device("adapter")};
  QueueReply("DMX\r\n>");

  testing::internal::CaptureStdout();
  EXPECT_TRUE(OpenAdapter());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DMX\r\n>");
  EXPECT_EQ(fake.input_buffer_calls,
            (std::vector<std::pair<std::size_t, ULONG>>{{1, 512}}));
  EXPECT_EQ(fake.writes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(InputQueue, WindowsInputQueueTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& param) {
                           return std::string(param.param ? "Granted" : "Refused");
                         });

TEST_F(WindowsHidTest, WholeLinkOverTheWindowsLayer) {
  fake.devices = {Device("keyboard", 0x046D, 0xC31C), Device("adapter"), Device("second")};
  QueueReply("DMX\r\n>");

  testing::internal::CaptureStdout();
  EXPECT_TRUE(OpenAdapter());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DMX\r\n>");
  EXPECT_TRUE(g_adapter.connected);
  EXPECT_EQ(fake.closed, (std::vector<std::size_t>{0}));  // the keyboard; "second" never opened
  EXPECT_EQ(fake.creates.size(), 2u);
  ASSERT_EQ(fake.writes.size(), 1u);
  ASSERT_EQ(fake.writes[0].size(), 65u);
  EXPECT_EQ(std::vector<std::uint8_t>(fake.writes[0].begin(), fake.writes[0].begin() + 5),
            (std::vector<std::uint8_t>{0x00, 0x30, 0x02, 0x49, 0x0D}));

  // A failed read: the message box, with no owner, and the loop goes on.
  EXPECT_TRUE(SendCommand("X"));
  EXPECT_EQ(fake.message_boxes, (std::vector<std::string>{"Error|USB Comm error|0"}));
  fake.write_succeeds = false;
  EXPECT_FALSE(SendCommand("Y"));
}

}  // namespace
