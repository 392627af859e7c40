// A scripted HID layer for tests: interfaces to enumerate, reads to deliver,
// and a record of every call the adapter link made.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "hid.h"

struct FakeInterface {
  HidInterface iface;
  bool openable = true;
  int open_error = 13;  // EACCES
  bool attributes_readable = true;
  std::uint16_t vendor_id = 0;  // what the attributes say once opened
  std::uint16_t product_id = 0;
  bool caps_readable = true;
  HidCaps caps{65, 65};
};

struct FakeRead {
  enum Kind { kReport, kFail, kNothing } kind = kReport;
  std::vector<std::uint8_t> bytes;
};

struct FakeHid {
  std::vector<FakeInterface> interfaces;
  std::deque<FakeRead> reads;  // an empty queue makes a read fail
  bool write_succeeds = true;

  std::vector<std::string> opened;
  std::vector<std::string> closed;
  std::vector<std::string> open_failures_shown;
  std::vector<std::vector<std::uint8_t>> writes;
  std::vector<std::string> queues_enlarged;
  int read_calls = 0;
  int notices = 0;
  std::string last_notice;
  int live_devices = 0;
};

extern FakeHid g_fake_hid;

// Empties the fake layer and the adapter state.
void ResetFakeHidAndAdapter();

// A present interface; opened, it reports the given identifiers.
FakeInterface MakeInterface(std::string path, std::uint16_t vendor_id, std::uint16_t product_id,
                            bool identified_before_open = false);

// A reply report of the given length: 00 00 n text, zero-padded. count
// overrides n when given.
std::vector<std::uint8_t> ReplyReport(std::string_view text, std::size_t length = 65,
                                      int count = -1);

// Connects the adapter state by hand to a fake device with these lengths.
void ConnectByHand(std::uint16_t input_length, std::uint16_t output_length);
