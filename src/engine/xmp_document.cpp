#include "engine/xmp_document.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>
#include <vector>

namespace qm::engine {
namespace {

struct SelectionNamespace {
  std::string_view Prefix;
  std::string_view Name;
};

constexpr std::array<SelectionNamespace, 8> kSelectionNamespaces = {{
    {"x", "adobe:ns:meta/"},
    {"rdf", "http://www.w3.org/1999/02/22-rdf-syntax-ns#"},
    {"iX", "http://ns.adobe.com/iX/1.0/"},
    {"pdf", "http://ns.adobe.com/pdf/1.3/"},
    {"photoshop", "http://ns.adobe.com/photoshop/1.0/"},
    {"xap", "http://ns.adobe.com/xap/1.0/"},
    {"xapMM", "http://ns.adobe.com/xap/1.0/mm/"},
    {"dc", "http://purl.org/dc/elements/1.1/"},
}};

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// Texts and attribute values are kept as written (no reference is expanded, no line end or blank changed), so
// that the packet is written back as it was read.
constexpr unsigned kParseOptions = pugi::parse_pi | pugi::parse_comments | pugi::parse_cdata |
                                   pugi::parse_declaration | pugi::parse_ws_pcdata | pugi::parse_fragment;

struct QualifiedName {
  std::string_view Prefix;
  std::string_view Local;
};

QualifiedName Split(std::string_view name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {{}, name};
  return {name.substr(0, colon), name.substr(colon + 1)};
}

std::string_view SelectionNamespaceOf(std::string_view prefix) {
  for (const SelectionNamespace& ns : kSelectionNamespaces) {
    if (ns.Prefix == prefix) return ns.Name;
  }
  return {};
}

// The namespace name the prefix is bound to where `node` stands: the nearest declaration on the node or one
// of its ancestors. Nothing for an unbound prefix.
std::optional<std::string_view> NamespaceOf(pugi::xml_node node, std::string_view prefix) {
  if (prefix == "xml") return kXmlNamespace;
  for (; node; node = node.parent()) {
    for (const pugi::xml_attribute attribute : node.attributes()) {
      const std::string_view name = attribute.name();
      if (prefix.empty() ? name == "xmlns"
                         : (name.size() == prefix.size() + 6 && name.starts_with("xmlns:") &&
                            name.substr(6) == prefix)) {
        return std::string_view(attribute.value());
      }
    }
  }
  return std::nullopt;
}

bool NameMatches(pugi::xml_node scope, std::string_view node_name, std::string_view selection,
                 bool attribute) {
  const QualifiedName wanted = Split(selection);
  const QualifiedName actual = Split(node_name);
  if (actual.Local != wanted.Local) return false;
  const std::string_view wanted_namespace = SelectionNamespaceOf(wanted.Prefix);
  // An attribute without a prefix is in no namespace; a selection name always has one.
  if (attribute && actual.Prefix.empty()) return false;
  const auto actual_namespace = NamespaceOf(scope, actual.Prefix);
  return actual_namespace && *actual_namespace == wanted_namespace;
}

std::string Escaped(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += quote == '"' ? "&quot;" : "\"";
        break;
      case '\'':
        out += quote == '\'' ? "&apos;" : "'";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

// Where the error stands in the text, with its line.
XmpParseError ErrorAt(std::string_view text, std::size_t offset, std::string reason) {
  XmpParseError error;
  error.Offset = std::min(offset, text.size());
  const std::size_t line_start = error.Offset == 0 ? 0 : text.rfind('\n', error.Offset - 1) + 1;
  error.Line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + line_start, '\n'));
  error.Position = 1 + static_cast<int>(error.Offset - line_start);
  std::size_t line_end = text.find('\n', line_start);
  if (line_end == std::string_view::npos) line_end = text.size();
  std::string_view line = text.substr(line_start, line_end - line_start);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  error.SourceText = std::string(line);
  error.Reason = std::move(reason);
  return error;
}

// The quote that most attribute values of the packet are written with.
char UsualQuote(std::string_view text) {
  std::size_t single = 0, double_quote = 0;
  for (std::size_t at = text.find('='); at != std::string_view::npos && at + 1 < text.size();
       at = text.find('=', at + 1)) {
    single += text[at + 1] == '\'';
    double_quote += text[at + 1] == '"';
  }
  return single > double_quote ? '\'' : '"';
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// An attribute value read between the other quotes may hold the quote the document is written with; it is
// written back as a reference, which reads as the same character.
void EscapeQuotes(pugi::xml_attribute attribute, char quote) {
  const std::string_view value = attribute.value();
  if (value.find(quote) == std::string_view::npos) return;
  std::string fixed;
  for (const char c : value) {
    if (c == quote) {
      fixed += quote == '"' ? "&quot;" : "&apos;";
    } else {
      fixed.push_back(c);
    }
  }
  attribute.set_value(fixed.c_str());
}

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, std::size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

}  // namespace

std::optional<XmpParseError> XmpDocument::Load(std::string_view packet) {
  document_.reset();
  // A zero byte would end the parse early and drop what follows it without a word.
  if (const std::size_t zero = packet.find('\0'); zero != std::string_view::npos) {
    return ErrorAt(packet, zero, "A zero byte is not allowed in an XMP packet");
  }
  for (const std::string_view declaration : {"<!DOCTYPE", "<!ENTITY"}) {
    if (const std::size_t at = packet.find(declaration); at != std::string_view::npos) {
      return ErrorAt(packet, at, "DOCTYPE and entity declarations are not allowed in an XMP packet");
    }
  }
  quote_ = UsualQuote(packet);
  const pugi::xml_parse_result result =
      document_.load_buffer(packet.data(), packet.size(), kParseOptions, pugi::encoding_utf8);
  if (!result) {
    document_.reset();
    return ErrorAt(packet, static_cast<std::size_t>(result.offset), result.description());
  }

  // Parsed as a fragment to see the text outside the elements: whitespace there is dropped (the serialisation
  // puts one line feed after each top-level node), anything else is an error, as is a packet without element.
  std::vector<pugi::xml_node> blanks;
  for (const pugi::xml_node node : document_.children()) {
    if (node.type() != pugi::node_pcdata) continue;
    const std::string_view text = node.value();
    if (!IsBlank(text)) {
      const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(node.offset_debug(), 0)) +
                          text.find_first_not_of(" \t\r\n");
      document_.reset();
      return ErrorAt(packet, offset, "Text is not allowed outside the document element");
    }
    blanks.push_back(node);
  }
  for (const pugi::xml_node node : blanks) document_.remove_child(node);
  if (!document_.document_element()) {
    document_.reset();
    return ErrorAt(packet, packet.size(), "No document element found");
  }

  // Every attribute is written back between the usual quotes.
  for (pugi::xml_node node = document_.first_child(); node;) {
    for (const pugi::xml_attribute attribute : node.attributes()) EscapeQuotes(attribute, quote_);
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return std::nullopt;
}

std::string XmpDocument::Xml() const {
  std::string out;
  StringWriter writer(out);
  const unsigned flags = pugi::format_raw | pugi::format_no_escapes | pugi::format_no_declaration |
                         (quote_ == '\'' ? pugi::format_attribute_single_quote : 0u);
  for (const pugi::xml_node node : document_.children()) {
    node.print(writer, "", flags, pugi::encoding_utf8);
    out.push_back('\n');
  }
  return out;
}

void XmpDocument::SetText(pugi::xml_node element, std::string_view text) const {
  while (element.first_child()) element.remove_child(element.first_child());
  if (text.empty()) return;
  element.append_child(pugi::node_pcdata).set_value(Escaped(text, '\0').c_str());
}

void XmpDocument::SetValue(pugi::xml_attribute attribute, std::string_view text) const {
  attribute.set_value(Escaped(text, quote_).c_str());
}

std::shared_ptr<XmpDocument> CreateXmpDocument() noexcept {
  try {
    return std::make_shared<XmpDocument>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool MatchesSelection(pugi::xml_node element, std::string_view name) {
  return element.type() == pugi::node_element && NameMatches(element, element.name(), name, false);
}

pugi::xml_node SelectChild(pugi::xml_node parent, std::string_view name) {
  for (const pugi::xml_node child : parent.children()) {
    if (MatchesSelection(child, name)) return child;
  }
  return {};
}

pugi::xml_attribute SelectAttribute(pugi::xml_node element, std::string_view name) {
  for (const pugi::xml_attribute attribute : element.attributes()) {
    if (NameMatches(element, attribute.name(), name, true)) return attribute;
  }
  return {};
}

}  // namespace qm::engine
