#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qm::engine {

/// Why a packet was not loaded: where (offset into the packet text, line from 1, position in the line from
/// 1), the text of that line trimmed of surrounding spaces (of a long line, the 160 bytes around the error
/// between "..."), and the reason.
struct XmpParseError {
  std::size_t Offset = 0;
  int Line = 1;
  int Position = 1;
  std::string SourceText;
  std::string Reason;
};

/// The XML document of a run, holding one XMP packet at a time.
///
/// The packet is parsed as the bytes it is (8-bit text, never decoded), and written back the same way: texts
/// and attribute values travel through unchanged, entity and character references included; processing
/// instructions, comments, CDATA sections and whitespace-only text are kept. What the round trip changes is
/// markup only: the whitespace between attributes, the quotes around attribute values (all become the quote
/// the packet's tags mostly use) and the whitespace between top-level nodes (one line feed after each). What
/// the document writes loads again and is written the same way.
///
/// Elements are selected by namespace, as with the selection namespaces x, rdf, iX, pdf, photoshop, xap,
/// xapMM and dc bound to their published names: "dc:title" matches an element whose prefix is bound, where it
/// stands, to http://purl.org/dc/elements/1.1/ and whose local name is "title", whatever the prefix.
class XmpDocument {
 public:
  /// Replaces the document by the packet. Refuses, before parsing, a packet holding a zero byte or a DOCTYPE
  /// or entity declaration; refuses a packet that does not parse, holds no element, or holds text outside its
  /// elements. After a refusal the document is empty.
  std::optional<XmpParseError> Load(std::string_view packet);

  /// The document as 8-bit text: each top-level node followed by one line feed, no declaration added.
  std::string Xml() const;

  /// The first top-level element, or a null node.
  pugi::xml_node DocumentElement() const { return document_.document_element(); }

  /// Replaces the element's content by the text, whose markup characters are escaped on the way in. An empty
  /// text leaves the element empty. Control characters other than tab, line feed and carriage return, which
  /// XML 1.0 forbids even as references, are left out.
  void SetText(pugi::xml_node element, std::string_view text) const;
  /// Sets the attribute's value to the text, escaped and without control characters as SetText.
  void SetValue(pugi::xml_attribute attribute, std::string_view text) const;

 private:
  pugi::xml_document document_;
  char quote_ = '"';
};

/// A new, empty document, or nullptr if it cannot be created.
std::shared_ptr<XmpDocument> CreateXmpDocument() noexcept;

/// The namespace name a selection prefix stands for ("dc": http://purl.org/dc/elements/1.1/), or an empty
/// view for a prefix that is not one of them.
std::string_view SelectionNamespaceName(std::string_view prefix);

/// The prefix a namespace declaration binds: "dc" for an attribute named xmlns:dc, "" for xmlns (the default
/// namespace); nothing for any other attribute.
std::optional<std::string_view> DeclaredPrefix(std::string_view attribute_name);

/// The namespace bindings in force at one element, read once, so that selecting among its children and
/// attributes costs no walk up the ancestors: a packet declaring many namespaces stays linear. Holds views of
/// the declarations' names and values; a declaration removed from the document ends the scope's use.
class NamespaceScope {
 public:
  /// The scope of `element`: its own declarations, then those in force at its parent, taken from `parent`
  /// (which must outlive this scope) when given, else read once from the ancestors.
  explicit NamespaceScope(pugi::xml_node element, const NamespaceScope* parent = nullptr);

  pugi::xml_node Element() const { return element_; }
  /// The namespace name the prefix ("" for the default namespace) is bound to here, or nothing.
  std::optional<std::string_view> Find(std::string_view prefix) const;
  /// Whether the selection name matches `child`, a child element: same local name, prefix bound to the same
  /// namespace name where the child stands.
  bool Matches(pugi::xml_node child, std::string_view name) const;
  /// The first child element the selection name ("rdf:Description") matches, or a null node.
  pugi::xml_node SelectChild(std::string_view name) const;
  /// Whether the selection name matches an attribute of the element. An attribute without a prefix is in no
  /// namespace and never matches.
  bool Matches(pugi::xml_attribute attribute, std::string_view name) const;
  /// The first attribute of the element that the selection name ("photoshop:City") matches, or a null
  /// attribute.
  pugi::xml_attribute SelectAttribute(std::string_view name) const;

 private:
  pugi::xml_node element_;
  const NamespaceScope* parent_ = nullptr;
  std::unordered_map<std::string_view, std::string_view> own_;        // the element's declarations
  std::unordered_map<std::string_view, std::string_view> ancestors_;  // read once when there is no parent
};

}  // namespace qm::engine
