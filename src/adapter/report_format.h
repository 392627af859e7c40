// The byte layouts of command and reply reports, and the adapter's prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::uint8_t kCommandMarker = 0x30;  // byte 1 of every command report
inline constexpr std::size_t kCommandHeaderSize = 3;  // report ID, marker, count
inline constexpr std::size_t kReplyHeaderSize = 3;    // report ID, unused byte, count
inline constexpr std::string_view kPrompt = "\r\n>";

// Builds a command report into report: the first report_length bytes are
// zeroed and then hold 00 30 N text CR, N being the text's length plus one.
// The NUL after the CR may land in the byte beyond report_length, so report
// must be at least report_length + 1 bytes. False, with nothing written, when
// the text does not fit.
bool BuildCommandReport(std::span<std::uint8_t> report, std::size_t report_length,
                        std::string_view text);

// The longest text BuildCommandReport accepts for a report length.
std::size_t CommandCapacityFor(std::size_t report_length);

// The text of a reply report of which delivered bytes arrived: n from byte 2,
// limited to the bytes that are there, and ended early by a NUL. Puts a NUL
// after the text, which report must have room for (delivered < report.size()).
std::string_view ReplyText(std::span<std::uint8_t> report, std::size_t delivered);

// Whether the prompt lies in the text, or across the characters carried over
// from the end of the previous report's text and the start of this one.
bool HoldsPrompt(std::string_view carried, std::string_view text);

// The last characters of carried + text, as many as a prompt split across
// reports can have left behind (two), stored in carry_buffer.
std::string_view CarryOver(std::string_view carried, std::string_view text,
                           std::span<char, 2> carry_buffer);
