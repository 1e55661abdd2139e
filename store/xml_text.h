#pragma once
// Text that goes into XML documents the store writes: names checked, values
// escaped, so that every document reads back as it was written.

#include <libxml/xmlerror.h>

#include <string>
#include <string_view>

#include "base/status.h"

namespace kv {

// Whether a name can stand as an element or attribute name as written:
// ASCII letters, digits, '_', '-', '.' and bytes of multi-byte UTF-8
// characters, not starting with a digit, '-' or '.'. A ':' would make the
// name a namespace prefix, so it is not accepted either.
[[nodiscard]] bool IsXmlName(std::string_view name);

// Appends text escaped for an attribute value in double quotes: '&', '<',
// '>' and '"' as entities, tab, line feed and carriage return as character
// references (so that attribute normalisation keeps them). Control
// characters that XML cannot carry in any form are left out.
void AppendXmlAttributeText(std::string& out, std::string_view text);

// libxml2 reports some faults of a document (a byte sequence its encoding
// cannot take) on standard error, whatever the parse options say. The store
// reports a document it cannot read in its log; this keeps libxml2 quiet on
// the calling thread, before it reads a document.
void QuietXmlErrors();

// libxml2's reason for a document it could not read, for the caller: where
// in the document it lies ("line 3, column 7: ..."), or that the file
// cannot be read at all; fallback when libxml2 gave none.
Status XmlErrorStatus(const xmlError* error, std::string_view fallback);
// libxml2's complaint about the place line and column of a document.
Status XmlFaultAt(int line, int column, std::string_view message);

}  // namespace kv
