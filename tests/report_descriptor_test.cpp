// Report lengths from report descriptors, as the Windows capability query gives them.
#include <gtest/gtest.h>

#include "case_name.h"

#include <string>
#include <vector>

#include "report_descriptor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Vendor page, application collection, 64 data bytes each way, no report IDs.
const Bytes kVendorHead = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
const Bytes kInput64 = {0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02};
const Bytes kOutput64 = {0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02};
const Bytes kEnd = {0xC0};

// The boot keyboard: 8 input bytes, 5 LED bits padded to one output byte.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01,
    0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07,
    0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

struct GoodCase {
  const char* name;
  Bytes descriptor;
  std::uint16_t input;
  std::uint16_t output;
  bool numbered;
};

class GoodDescriptorTest : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodDescriptorTest, GivesTheCapabilityLengths) {
  const GoodCase& c = GetParam();
  ReportLengths lengths;
  ASSERT_TRUE(ParseReportLengths(c.descriptor, &lengths));
  EXPECT_EQ(lengths.input, c.input);
  EXPECT_EQ(lengths.output, c.output);
  EXPECT_EQ(lengths.numbered, c.numbered);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, GoodDescriptorTest,
    testing::Values(
        GoodCase{"VendorDefined64InAndOut", Join({kVendorHead, kInput64, kOutput64, kEnd}), 65, 65,
                 false},
        GoodCase{"BootKeyboard", kBootKeyboard, 9, 2, false},
        // Report 1: 8 input bytes; report 2: 32 input bytes; report 3: 16 output bytes.
        GoodCase{"NumberedReportsOfDifferentSizes",
                 Join({kVendorHead,
                       {0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02},
                       {0x85, 0x02, 0x95, 0x20, 0x09, 0x01, 0x81, 0x02},
                       {0x85, 0x03, 0x95, 0x10, 0x09, 0x01, 0x91, 0x02},
                       kEnd}),
                 33, 17, true},
        // Push saves size 8 / count 64; the input uses count 2; Pop restores 64 for the output.
        GoodCase{"PushAndPop",
                 Join({kVendorHead,
                       {0x75, 0x08, 0x95, 0x40, 0xA4, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x91, 0x02},
                       kEnd}),
                 3, 65, false},
        // Pop also restores the report ID in force.
        GoodCase{"PopRestoresReportId",
                 Join({{0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4, 0x85, 0x02, 0x95, 0x10, 0x81,
                        0x02, 0xB4, 0x81, 0x02}}),
                 17, 0, true},
        GoodCase{"LongItemIsSkipped",
                 Join({kVendorHead, kInput64, {0xFE, 0x03, 0x10, 0x81, 0x02, 0x91}, kOutput64, kEnd}),
                 65, 65, false},
        GoodCase{"FourByteItemData",
                 Join({kVendorHead, {0x75, 0x08, 0x97, 0x20, 0x00, 0x00, 0x00, 0x91, 0x02}, kEnd}),
                 0, 33, false},
        GoodCase{"OutputOnly", Join({kVendorHead, kOutput64, kEnd}), 0, 65, false},
        // A 128-byte Feature report counts toward neither direction.
        GoodCase{"FeatureReportCountsForNeitherDirection",
                 Join({kVendorHead, kInput64, kOutput64,
                       {0x09, 0x04, 0x75, 0x08, 0x96, 0x80, 0x00, 0xB1, 0x02}, kEnd}),
                 65, 65, false},
        // Local items share their tags with globals (String Index 7 = Report
        // Size, String Minimum 8 = Report ID, String Maximum 9 = Report Count,
        // Delimiter 10 = Push), but set none of them.
        GoodCase{"LocalItemsAreNotGlobalState",
                 Join({kVendorHead,
                       {0x75, 0x08, 0x95, 0x40, 0x09, 0x02, 0x19, 0x01, 0x29, 0x08, 0x39, 0x01,
                        0x79, 0x20, 0x89, 0x05, 0x99, 0x03, 0xA9, 0x01, 0xA9, 0x00, 0x81, 0x02,
                        0x91, 0x02},
                       kEnd}),
                 65, 65, false},
        GoodCase{"OddBitsRoundUp", {0x75, 0x01, 0x95, 0x09, 0x81, 0x02}, 3, 0, false},
        GoodCase{"Empty", {}, 0, 0, false}),
    CaseName());

struct BadCase {
  const char* name;
  Bytes descriptor;
};

class BadDescriptorTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadDescriptorTest, IsRefusedAndLeavesTheLengthsAlone) {
  ReportLengths lengths{7, 8, true};
  EXPECT_FALSE(ParseReportLengths(GetParam().descriptor, &lengths));
  EXPECT_EQ(lengths.input, 7);
  EXPECT_EQ(lengths.output, 8);
  EXPECT_TRUE(lengths.numbered);
}

Bytes DeepPush() {
  Bytes d(17, 0xA4);
  return d;
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, BadDescriptorTest,
    testing::Values(
        BadCase{"ShortItemMissingItsData", Join({kVendorHead, kInput64, {0x75}})},
        BadCase{"TwoByteItemCutInHalf", Join({kVendorHead, {0x26, 0xFF}})},
        BadCase{"FourByteItemCut", {0x97, 0x40, 0x00, 0x00}},
        BadCase{"LongItemHeaderCut", {0xFE, 0x05}},
        BadCase{"LongItemDataCut", {0xFE, 0x05, 0x10, 0x01, 0x02}},
        BadCase{"PopWithoutPush", {0x75, 0x08, 0xB4}},
        BadCase{"PushTooDeep", DeepPush()},
        BadCase{"ReportIdZero", {0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
        BadCase{"ReportIdBeyondOneByte", {0x86, 0x00, 0x01}},
        // 32-bit fields, 65535 of them: no 16-bit length can hold it.
        BadCase{"ReportTooLong", {0x75, 0x20, 0x96, 0xFF, 0xFF, 0x81, 0x02}},
        BadCase{"ReportGrowsTooLongBitByBit",
                Join({{0x75, 0x08, 0x96, 0xFF, 0x7F, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02}})}),
    CaseName());

TEST(ReportDescriptor, LargestReportThatFitsSixteenBits) {
  // 0xFFFE data bytes plus the ID byte is 0xFFFF.
  const Bytes d = {0x75, 0x08, 0x96, 0xFE, 0xFF, 0x91, 0x02};
  ReportLengths lengths;
  ASSERT_TRUE(ParseReportLengths(d, &lengths));
  EXPECT_EQ(lengths.output, 0xFFFF);
  const Bytes one_more = {0x75, 0x08, 0x96, 0xFF, 0xFF, 0x91, 0x02};
  EXPECT_FALSE(ParseReportLengths(one_more, &lengths));
}

}  // namespace
