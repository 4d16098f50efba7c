// What the fuzz targets that synchronise a packet require of the result, beyond the absence of crashes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/iptc_block.h"
#include "engine/iptc_fields.h"
#include "engine/xmp_document.h"

namespace qm::fuzz {

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The synchronised properties and where their values come from, written out again here so that a fault in
// the engine's own table does not hide itself.
struct Synchronised {
  std::string_view Name;
  std::string engine::IptcFields::*Field;
  std::vector<std::string> engine::IptcLists::*List;
};

inline const Synchronised kSynchronised[] = {
    {"dc:title", &engine::IptcFields::ObjectName, nullptr},
    {"dc:creator", &engine::IptcFields::Byline, nullptr},
    {"dc:description", &engine::IptcFields::Caption, nullptr},
    {"dc:rights", &engine::IptcFields::Copyright, nullptr},
    {"dc:subject", nullptr, &engine::IptcLists::KeywordList},
    {"photoshop:CaptionWriter", &engine::IptcFields::CaptionWriter, nullptr},
    {"photoshop:Category", &engine::IptcFields::Category, nullptr},
    {"photoshop:DateCreated", &engine::IptcFields::CreatedDate, nullptr},
    {"photoshop:City", &engine::IptcFields::City, nullptr},
    {"photoshop:State", &engine::IptcFields::ProvinceState, nullptr},
    {"photoshop:Country", &engine::IptcFields::Country, nullptr},
    {"photoshop:Credit", &engine::IptcFields::Credit, nullptr},
    {"photoshop:Source", &engine::IptcFields::Source, nullptr},
    {"photoshop:Headline", &engine::IptcFields::Headline, nullptr},
    {"photoshop:Instructions", &engine::IptcFields::SpecialInstructions, nullptr},
    {"photoshop:TransmissionReference", &engine::IptcFields::OriginalTransmissionReference, nullptr},
    {"photoshop:Urgency", &engine::IptcFields::Priority, nullptr},
    {"photoshop:AuthorsPosition", &engine::IptcFields::BylineTitle, nullptr},
    {"photoshop:SupplementalCategories", nullptr, &engine::IptcLists::SupplementalCategoryList},
};

inline std::string_view Prefix(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}
inline std::string_view Local(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Elements anywhere in the document with the local name of a synchronised property and a namespace other
// than its own (a dc:title whose dc stands for another name).
inline std::size_t ForeignNamesakes(const engine::XmpDocument& document) {
  std::size_t count = 0;
  for (pugi::xml_node node = document.DocumentElement(); node;) {
    for (const Synchronised& property : kSynchronised) {
      if (Local(node.name()) != Local(property.Name)) continue;
      const auto bound = engine::NamespaceScope(node).Find(Prefix(node.name()));
      if (bound != engine::SelectionNamespaceName(Prefix(property.Name))) ++count;
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return count;
}

// Whether a declaration on the element or an enclosing one names the namespace.
inline bool Declares(pugi::xml_node element, std::string_view name) {
  for (; element; element = element.parent()) {
    for (const pugi::xml_attribute attribute : element.attributes()) {
      if (engine::DeclaredPrefix(attribute.name()) && attribute.value() == name) return true;
    }
  }
  return false;
}

// A synchronisation that turned `before` into `after` wrote no property outside its namespace, and each
// property with a value lies, by its namespace's name, in a description of rdf:RDF in that namespace when
// there is one. `lists` may be null: the bags are then not looked for.
inline void CheckInTheirNamespaces(const engine::XmpDocument& before, const engine::XmpDocument& after,
                                   const engine::IptcFields& fields, const engine::IptcLists* lists) {
  Check(ForeignNamesakes(after) <= ForeignNamesakes(before));
  const engine::NamespaceScope root(after.DocumentElement());
  for (const Synchronised& property : kSynchronised) {
    const bool has_value = property.Field ? !(fields.*property.Field).empty()
                                          : lists != nullptr && !(lists->*property.List).empty();
    if (!has_value) continue;
    const std::string_view name = engine::SelectionNamespaceName(Prefix(property.Name));
    bool declared = false, found = false;
    for (const pugi::xml_node rdf : after.DocumentElement().children()) {
      if (!root.Matches(rdf, "rdf:RDF")) continue;
      const engine::NamespaceScope rdf_scope(rdf, &root);
      for (const pugi::xml_node description : rdf.children()) {
        if (!rdf_scope.Matches(description, "rdf:Description") || !Declares(description, name)) continue;
        declared = true;
        const engine::NamespaceScope scope(description, &rdf_scope);
        found = found || scope.SelectChild(property.Name) || scope.SelectAttribute(property.Name);
      }
    }
    Check(!declared || found);
  }
}

}  // namespace qm::fuzz
