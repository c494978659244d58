#include "apk/string_pool.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

StringPool Pool(std::vector<std::string> strings, std::vector<std::vector<StyleSpan>> styles,
                bool utf8) {
  return StringPool{std::move(strings), std::move(styles), utf8, false};
}

StringPool ReadBack(const std::string& chunk) {
  auto pool = ReadStringPool(chunk);
  if (auto* error = std::get_if<FormatError>(&pool)) ADD_FAILURE() << error->message;
  return pool.index() == 0 ? std::get<StringPool>(pool) : StringPool{};
}

struct RoundTripCase {
  const char* name;
  StringPool pool;
  bool utf8Written;  // a UTF-8 pool falls back to UTF-16 when a string is too long for it
};

class StringPoolRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(StringPoolRoundTrip, reads_back_what_was_written) {
  const RoundTripCase& c = GetParam();
  const std::string chunk = WriteStringPool(c.pool);
  EXPECT_EQ(chunk.size() % 4, 0u);
  EXPECT_EQ(U32At(chunk, 4), chunk.size());
  const StringPool back = ReadBack(chunk);
  EXPECT_EQ(back.strings, c.pool.strings);
  EXPECT_EQ(back.styles, c.pool.styles);
  EXPECT_EQ(back.utf8, c.utf8Written);
  EXPECT_EQ(WriteStringPool(back), chunk);
}

const std::string kLong(0x90, 'x');        // needs a two-byte length in UTF-8
const std::string kVeryLong(0x8100, 'y');  // too long for UTF-8, two units in UTF-16
const std::string kMixed = "中文 é \xF0\x9F\x98\x80 end";  // three, two and four-byte sequences
const std::string kLoneSurrogate = "a\xED\xA0\x80z";       // U+D800 on its own, kept as WTF-8
const std::vector<std::vector<StyleSpan>> kStyles = {{{2, 0, 3}, {3, 5, 7}}, {}, {{2, 1, 1}}};

INSTANTIATE_TEST_SUITE_P(
    Pools, StringPoolRoundTrip,
    ::testing::Values(
        RoundTripCase{"empty_utf8", Pool({}, {}, true), true},
        RoundTripCase{"empty_utf16", Pool({}, {}, false), false},
        RoundTripCase{"texts_utf8", Pool({"", "a", kLong, kMixed}, {}, true), true},
        RoundTripCase{"texts_utf16", Pool({"", "a", kLong, kMixed, kLoneSurrogate}, {}, false),
                      false},
        RoundTripCase{"styled_utf8", Pool({"bold it", "x", "b", "i"}, kStyles, true), true},
        RoundTripCase{"styled_utf16", Pool({"bold it", "x", "b", "i"}, kStyles, false), false},
        RoundTripCase{"too_long_for_utf8", Pool({"a", kVeryLong}, {}, true), false},
        RoundTripCase{"very_long_utf16", Pool({kVeryLong, kMixed}, {{{1, 0, 1}}}, false), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringPool, keeps_the_sorted_flag_and_counts_characters_as_android_does) {
  StringPool pool = Pool({kMixed}, {}, true);
  pool.sorted = true;
  const std::string chunk = WriteStringPool(pool);
  EXPECT_TRUE(ReadBack(chunk).sorted);
  // A UTF-8 pool string starts with its length in UTF-16 units, then in bytes:
  // the emoji counts as two units.
  const std::size_t stringsStart = U32At(chunk, 20);
  EXPECT_EQ(U8At(chunk, stringsStart), 11);
  EXPECT_EQ(U8At(chunk, stringsStart + 1), kMixed.size());
}

TEST(StringPool, ignores_where_absent_strings_and_styles_would_start) {
  std::string chunk = WriteStringPool(Pool({}, {}, true));
  PutU32(chunk, 20, 0xFFFFFF00);
  PutU32(chunk, 24, 0xFFFFFF00);
  EXPECT_TRUE(ReadBack(chunk).strings.empty());
}

// Mutations of a valid styled pool that each make it malformed.
struct MalformedCase {
  const char* name;
  std::function<void(std::string&)> damage;
};

class MalformedStringPool : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedStringPool, is_refused) {
  std::string chunk = WriteStringPool(Pool({"bold it", "x", "b"}, {{{2, 0, 3}}}, true));
  GetParam().damage(chunk);
  EXPECT_EQ(ReadStringPool(chunk).index(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, MalformedStringPool,
    ::testing::Values(
        MalformedCase{"header_smaller_than_its_struct", [](auto& c) { c[2] = 20; }},
        MalformedCase{"size_past_the_end", [](auto& c) { PutU32(c, 4, c.size() + 4); }},
        MalformedCase{"absurd_string_count", [](auto& c) { PutU32(c, 8, 0x3FFFFFFF); }},
        MalformedCase{"more_styles_than_strings", [](auto& c) { PutU32(c, 12, 4); }},
        MalformedCase{"string_offset_past_the_end", [](auto& c) { PutU32(c, 28, 0x10000); }},
        MalformedCase{"string_without_terminator", [](auto& c) { c[U32At(c, 20) + 2 + 7] = 'x'; }},
        MalformedCase{"string_longer_than_the_pool", [](auto& c) { c[U32At(c, 20) + 1] = 0x7F; }},
        MalformedCase{"style_name_past_the_strings", [](auto& c) { PutU32(c, U32At(c, 24), 9); }},
        MalformedCase{"style_without_end_marker",
                      [](auto& c) { c.replace(c.size() - 12, 12, std::string(12, '\0')); }},
        MalformedCase{"many_offsets_onto_one_long_string",
                      [](auto& c) {
                        // Every offset names the same string of 0x7FFF bytes.
                        c = WriteStringPool(Pool({std::string(0x7FFF, 'z')}, {}, true));
                        const std::size_t count = 400;
                        std::string offsets(4 * (count - 1), '\0');
                        c.insert(28, offsets);
                        PutU32(c, 8, count);
                        PutU32(c, 20, U32At(c, 20) + offsets.size());
                        PutU32(c, 4, c.size());
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringPool, every_truncation_is_refused) {
  const std::string chunk = WriteStringPool(Pool({"bold it", kLong}, {{{0, 0, 3}}}, false));
  for (std::size_t size = 0; size < chunk.size(); ++size) {
    EXPECT_EQ(ReadStringPool(chunk.substr(0, size)).index(), 1u) << "size " << size;
  }
}

}  // namespace
}  // namespace velmora::apk
