#include "store/text_scan.h"

#include <climits>
#include <cstdint>

#include "platform/ascii.h"

namespace kv {
namespace {

constexpr auto IsBlank = ascii::IsWhiteSpace<char>;
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }
  void Advance() { ++pos_; }

  bool Integer(int& out) {
    SkipBlanks();
    bool negative = false;
    if (!AtEnd() && (Peek() == '-' || Peek() == '+')) {
      negative = Peek() == '-';
      Advance();
    }
    if (AtEnd() || !IsDigit(Peek())) return false;
    std::int64_t value = 0;
    while (!AtEnd() && IsDigit(Peek())) {
      value = value * 10 + (Peek() - '0');
      if (value > static_cast<std::int64_t>(INT_MAX) + 1) return false;
      Advance();
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return false;
    out = static_cast<int>(value);
    return true;
  }

  bool Word(std::string& out, std::size_t width) {
    SkipBlanks();
    const std::size_t start = pos_;
    while (!AtEnd() && !IsBlank(Peek()) && pos_ - start < width) Advance();
    if (pos_ == start) return false;
    out.assign(text_.substr(start, pos_ - start));
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

int ScanText(std::string_view text, std::string_view format, std::span<const ScanField> fields) {
  Cursor cursor(text);
  int filled = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    const char f = format[i];
    if (IsBlank(f)) {
      cursor.SkipBlanks();
      ++i;
      continue;
    }
    if (f != '%' || i + 1 >= format.size()) {
      if (cursor.AtEnd() || cursor.Peek() != f) return filled;
      cursor.Advance();
      ++i;
      continue;
    }
    ++i;
    std::size_t width = 0;
    while (i < format.size() && IsDigit(format[i])) width = width * 10 + static_cast<std::size_t>(format[i++] - '0');
    if (i >= format.size() || static_cast<std::size_t>(filled) >= fields.size()) return filled;
    const char conversion = format[i++];
    const ScanField& field = fields[static_cast<std::size_t>(filled)];
    bool ok = false;
    if (conversion == 'd' && std::holds_alternative<int*>(field)) {
      ok = cursor.Integer(*std::get<int*>(field));
    } else if (conversion == 's' && std::holds_alternative<std::string*>(field)) {
      ok = cursor.Word(*std::get<std::string*>(field), width ? width : std::string_view::npos);
    } else if (conversion == 'c' && std::holds_alternative<char*>(field) && !cursor.AtEnd()) {
      *std::get<char*>(field) = cursor.Peek();
      cursor.Advance();
      ok = true;
    }
    if (!ok) return filled;
    ++filled;
  }
  return filled;
}

}  // namespace kv
