#include "prereq/wmi_query.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

std::string Text(const Variant& v) {
  const auto text = VariantToText(v, false);
  return text ? std::string(text->begin(), text->end()) : "<null>";
}

Variant Of(VARTYPE vt, std::int64_t integer = 0, double real = 0) {
  Variant v;
  v.vt = vt;
  v.integer = integer;
  v.real = real;
  return v;
}

TEST(VariantToTextTest, EachKindHasItsForm) {
  EXPECT_EQ(Text(Of(VT_I2, -1)), "65535");
  EXPECT_EQ(Text(Of(VT_I4, -5)), "-5");
  EXPECT_EQ(Text(Of(VT_R8, 0, 3.14159)), "    3.1416");
  EXPECT_EQ(Text(Of(VT_BOOL, -1)), "True");
  EXPECT_EQ(Text(Of(VT_BOOL, 0)), "False");
  EXPECT_EQ(Text(Of(VT_UI1, 7)), "7");
  EXPECT_EQ(Text(Of(VT_UI1, 'A')), "'A'");
  EXPECT_EQ(Text(Of(VT_NULL)), "-");
  EXPECT_EQ(Text(Of(VT_DATE)), "-");
  EXPECT_EQ(Text(Of(VT_ARRAY | VT_DISPATCH)), "<null>");

  Variant text = Of(VT_BSTR);
  text.text = u"Windows Defender";
  EXPECT_EQ(Text(text), "Windows Defender");
  Variant list = Of(VT_ARRAY | VT_BSTR);
  list.array = {u"a", std::nullopt, u"c"};
  EXPECT_EQ(Text(list), "a, -, c");
}

}  // namespace
}  // namespace kv
