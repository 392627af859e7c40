// The adapter link: finding the DMX adapter, setting it up, and the exchange
// of command and reply reports with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "hid.h"

inline constexpr std::uint16_t kAdapterVendorId = 0x0F48;
inline constexpr std::uint16_t kAdapterProductId = 0x4201;

// The one record of the adapter link. The handle and both buffers are held
// until the process ends.
struct AdapterState {
  HidDevice* handle = nullptr;  // valid only when connected
  HidCaps caps;
  std::uint32_t output_report_length = 0;
  // Each one byte longer than its report, for a terminating NUL.
  std::vector<std::uint8_t> input_report;
  std::vector<std::uint8_t> output_report;
  bool connected = false;
};

extern AdapterState g_adapter;

// Opens the first present HID interface with both identifiers and stores its
// handle. Interfaces that cannot be opened, or that carry other identifiers,
// are passed over.
bool FindAdapter(HidDevice** handle, std::uint16_t vendor_id, std::uint16_t product_id);

// Finds the adapter, learns its report lengths, allocates the report buffers
// and sends the opening command "I", whose answer is printed before it
// returns. Afterwards connected tells whether the adapter was found.
// Returns false only when the adapter was found but could not be set up (the
// reason is on standard error); nothing has been sent then.
bool OpenAdapter();

// Sends one command line (without its line end) and prints the reply up to
// the adapter's prompt. Returns false only when the command report could not
// be written; true at once, without any I/O, when not connected.
bool SendCommand(std::string_view text);

// Reads and prints reply reports until one completes the prompt.
// 0: prompt seen; -1: a read delivered no bytes; 1: a read failed and the
// error notice has been shown.
int ReadReply();

// What stands on the cursor's line after the last reply: the text the adapter
// sent after its last line end (normally its prompt's ">"). Empty before the
// first reply, once a command has been refused, and after the notice.
std::string_view ReplyTail();

// The longest command text that fits one command report of the open adapter:
// 3 header bytes, the CR and the NUL after it must fit as well, and the
// payload count must fit its one byte. 0 when no adapter is set up.
std::size_t CommandCapacity();

// The one line on standard error that refuses a command that does not fit.
void ShowCommandTooLong(std::size_t limit);
