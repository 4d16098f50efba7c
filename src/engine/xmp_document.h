#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace qm::engine {

/// Why a packet was not loaded: where (offset into the packet text, line from 1, position in the line from
/// 1), the text of that line trimmed of surrounding spaces, and the reason.
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
/// most of the packet uses) and the whitespace between top-level nodes (one line feed after each).
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
  /// text leaves the element empty.
  void SetText(pugi::xml_node element, std::string_view text) const;
  /// Sets the attribute's value to the text, escaped on the way in.
  void SetValue(pugi::xml_attribute attribute, std::string_view text) const;

 private:
  pugi::xml_document document_;
  char quote_ = '"';
};

/// A new, empty document, or nullptr if it cannot be created.
std::shared_ptr<XmpDocument> CreateXmpDocument() noexcept;

/// The first child element of `parent` that a selection name ("rdf:Description") matches, or a null node.
pugi::xml_node SelectChild(pugi::xml_node parent, std::string_view name);
/// The first attribute of `element` that a selection name ("photoshop:City") matches, or a null attribute.
pugi::xml_attribute SelectAttribute(pugi::xml_node element, std::string_view name);
/// Whether the selection name matches the element: same local name, prefix bound to the same namespace name.
bool MatchesSelection(pugi::xml_node element, std::string_view name);

}  // namespace qm::engine
