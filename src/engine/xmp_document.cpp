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
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

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

// The element's own declarations; of two for one prefix, the first.
void ReadDeclarations(pugi::xml_node element, std::unordered_map<std::string_view, std::string_view>& into) {
  for (const pugi::xml_attribute attribute : element.attributes()) {
    if (const auto prefix = DeclaredPrefix(attribute.name())) into.emplace(*prefix, attribute.value());
  }
}

// The binding of a prefix on the element itself, looked up without building a scope: a child is usually
// tested once for each selection name.
std::optional<std::string_view> OwnDeclaration(pugi::xml_node element, std::string_view prefix) {
  for (const pugi::xml_attribute attribute : element.attributes()) {
    if (DeclaredPrefix(attribute.name()) == prefix) return std::string_view(attribute.value());
  }
  return std::nullopt;
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
      case '\t':
      case '\n':
      case '\r':
        out.push_back(c);
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) out.push_back(c);
    }
  }
  return out;
}

constexpr std::size_t kLongestSourceText = 160;

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
  // A packet written on one line would make the whole packet the source text.
  if (line.size() > kLongestSourceText) {
    const std::size_t at = static_cast<std::size_t>(
        std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(error.Offset) - (line.data() - text.data()), 0));
    const std::size_t from = std::min(at > kLongestSourceText / 2 ? at - kLongestSourceText / 2 : 0,
                                      line.size() - kLongestSourceText);
    error.SourceText = (from > 0 ? "..." : "") + std::string(line.substr(from, kLongestSourceText)) +
                       (from + kLongestSourceText < line.size() ? "..." : "");
  } else {
    error.SourceText = std::string(line);
  }
  error.Reason = std::move(reason);
  return error;
}

// Whether the text starts with the XML declaration, "<?xml" and a blank or the closing "?>".
bool IsDeclaration(std::string_view text) {
  return text.size() > 5 && text.starts_with("<?xml") &&
         std::string_view(" \t\r\n?").find(text[5]) != std::string_view::npos;
}

// The quote that most attribute values of the packet's tags are written with. Only tags are read: a text
// (u="=" in a value), a comment, a CDATA section or a processing instruction, whose pseudo-attributes are
// written back as they are, cannot tip the balance (the XML declaration's attributes count: they are written
// anew), so that the packet the document writes picks the same quote when it is read again.
char UsualQuote(std::string_view text) {
  std::size_t single = 0, double_quote = 0;
  const auto skip_to = [text](std::size_t from, std::string_view end) {
    const std::size_t at = text.find(end, from);
    return at == std::string_view::npos ? text.size() : at + end.size();
  };
  for (std::size_t at = text.find('<'); at < text.size(); at = text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      at = skip_to(at + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      at = skip_to(at + 9, "]]>");
    } else if (rest.starts_with("<?") && !IsDeclaration(rest)) {
      at = skip_to(at + 2, "?>");
    } else if (rest.starts_with("<!")) {
      at = skip_to(at + 2, ">");
    } else {
      // Within a tag a quote can only open or close an attribute value.
      for (++at; at < text.size() && text[at] != '>'; ++at) {
        const char c = text[at];
        if (c != '"' && c != '\'') continue;
        (c == '"' ? double_quote : single) += 1;
        at = text.find(c, at + 1);
        if (at == std::string_view::npos) at = text.size() - 1;
      }
    }
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
  // A text of control characters only leaves the element as empty as an empty one, so that it is written as
  // it reads back.
  const std::string escaped = Escaped(text, '\0');
  if (escaped.empty()) return;
  element.append_child(pugi::node_pcdata).set_value(escaped.c_str());
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

std::string_view SelectionNamespaceName(std::string_view prefix) {
  for (const SelectionNamespace& ns : kSelectionNamespaces) {
    if (ns.Prefix == prefix) return ns.Name;
  }
  return {};
}

std::optional<std::string_view> DeclaredPrefix(std::string_view attribute_name) {
  if (attribute_name == "xmlns") return std::string_view();
  if (attribute_name.size() > 6 && attribute_name.starts_with("xmlns:")) return attribute_name.substr(6);
  return std::nullopt;
}

NamespaceScope::NamespaceScope(pugi::xml_node element, const NamespaceScope* parent)
    : element_(element), parent_(parent) {
  ReadDeclarations(element, own_);
  if (parent_ == nullptr) {
    // Nearest first, so that the nearest declaration of a prefix wins.
    for (pugi::xml_node up = element.parent(); up; up = up.parent()) ReadDeclarations(up, ancestors_);
  }
}

std::optional<std::string_view> NamespaceScope::Find(std::string_view prefix) const {
  if (prefix == "xml") return kXmlNamespace;
  // Reserved: never bound by a declaration, so an xmlns attribute is never taken for a property.
  if (prefix == "xmlns") return kXmlnsNamespace;
  for (const NamespaceScope* scope = this; scope != nullptr; scope = scope->parent_) {
    if (const auto it = scope->own_.find(prefix); it != scope->own_.end()) return it->second;
    if (scope->parent_ == nullptr) {
      if (const auto it = scope->ancestors_.find(prefix); it != scope->ancestors_.end()) return it->second;
    }
  }
  return std::nullopt;
}

bool NamespaceScope::Matches(pugi::xml_node child, std::string_view name) const {
  if (child.type() != pugi::node_element) return false;
  const QualifiedName wanted = Split(name);
  const QualifiedName actual = Split(child.name());
  if (actual.Local != wanted.Local) return false;
  auto bound = actual.Prefix == "xml" || actual.Prefix == "xmlns" ? std::nullopt
                                                                  : OwnDeclaration(child, actual.Prefix);
  if (!bound) bound = Find(actual.Prefix);
  return bound && *bound == SelectionNamespaceName(wanted.Prefix);
}

pugi::xml_node NamespaceScope::SelectChild(std::string_view name) const {
  for (const pugi::xml_node child : element_.children()) {
    if (Matches(child, name)) return child;
  }
  return {};
}

bool NamespaceScope::Matches(pugi::xml_attribute attribute, std::string_view name) const {
  const QualifiedName wanted = Split(name);
  const QualifiedName actual = Split(attribute.name());
  if (actual.Local != wanted.Local || actual.Prefix.empty()) return false;
  const auto bound = Find(actual.Prefix);
  return bound && *bound == SelectionNamespaceName(wanted.Prefix);
}

pugi::xml_attribute NamespaceScope::SelectAttribute(std::string_view name) const {
  for (const pugi::xml_attribute attribute : element_.attributes()) {
    if (Matches(attribute, name)) return attribute;
  }
  return {};
}

}  // namespace qm::engine
