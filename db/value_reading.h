#pragma once
// Values as databases give them back: the text a driver makes of a column
// turned into the stored form of a store column type.

#include <cstdint>
#include <string_view>

#include "store/typed_value.h"

namespace kv {

// Whether a database's text of a Boolean means true: "1", "t" or "true" (any
// case), whichever form the database keeps Booleans in; anything else is
// false.
[[nodiscard]] bool IsTrueText(std::string_view text);

// The stored form of a value of the type from its text: a Boolean by
// IsTrueText, a floating value also in exponent form, every other type as
// the store converts texts. False when the text is no value of the type.
[[nodiscard]] bool ParseDatabaseValue(std::string_view text, std::uint8_t type, TypedValueBuffer& out);

}  // namespace kv
