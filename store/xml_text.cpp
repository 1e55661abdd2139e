#include "store/xml_text.h"

#include <libxml/xmlerror.h>

#include "base/failure_capture.h"
#include "base/text_format.h"

namespace kv {
namespace {

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }

bool IsNameByte(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

}  // namespace

bool IsXmlName(std::string_view name) {
  if (name.empty() || !IsNameStart(static_cast<unsigned char>(name.front()))) return false;
  for (const char c : name) {
    if (!IsNameByte(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

void AppendXmlAttributeText(std::string& out, std::string_view text) {
  std::size_t plain = 0;  // start of the run of bytes copied as they are
  auto flush = [&](std::size_t end) { out.append(text.substr(plain, end - plain)); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const char* replacement = nullptr;
    switch (c) {
      case '&': replacement = "&amp;"; break;
      case '<': replacement = "&lt;"; break;
      case '>': replacement = "&gt;"; break;
      case '"': replacement = "&quot;"; break;
      case '\t': replacement = "&#9;"; break;
      case '\n': replacement = "&#10;"; break;
      case '\r': replacement = "&#13;"; break;
      default:
        if (c >= 0x20) continue;
        replacement = "";  // no form in XML 1.0
        break;
    }
    flush(i);
    out.append(replacement);
    plain = i + 1;
  }
  flush(text.size());
}

namespace {
void IgnoreXmlMessage(void*, const char*, ...) {}
}  // namespace

void QuietXmlErrors() { xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage); }

Status XmlErrorStatus(const xmlError* error, std::string_view fallback) {
  if (!error || !error->message) return Status::Failure(std::string(fallback), Status::Code::kInvalid);
  // A file that cannot be opened: libxml2 names it by the host's path, which
  // is none of the caller's business.
  if (error->domain == XML_FROM_IO) return Status::Failure("the file cannot be read", Status::Code::kNotFound);
  if (error->line <= 0) return Status::Failure(ReasonLine(error->message), Status::Code::kInvalid);
  return XmlFaultAt(error->line, error->int2, error->message);
}

Status XmlFaultAt(int line, int column, std::string_view message) {
  return Status::Failure(Format("line %d, column %d: %s", line, column, ReasonLine(message).c_str()),
                         Status::Code::kInvalid);
}

}  // namespace kv
