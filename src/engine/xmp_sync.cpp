#include "engine/xmp_sync.h"

#include <algorithm>
#include <array>
#include <deque>
#include <vector>

#include "coding/windows1252.h"

namespace qm::engine {
namespace {

enum class Shape { kFirstItem, kSimple, kBag };
enum class Transform { kUtf8, kDate };

// One synchronised property and the IPTC field (or list, for a bag) it takes its value from.
struct Row {
  std::string_view Property;  // the selection prefix, which names the namespace, and the local name
  Shape Form;
  std::string_view Container;  // rdf:Alt, rdf:Seq or rdf:Bag
  std::string IptcFields::*Field;
  std::vector<std::string> IptcLists::*List;
  Transform Value;
};

constexpr Row FirstItem(std::string_view property, std::string_view container,
                        std::string IptcFields::*field) {
  return {property, Shape::kFirstItem, container, field, nullptr, Transform::kUtf8};
}
constexpr Row Simple(std::string_view property, std::string IptcFields::*field,
                     Transform value = Transform::kUtf8) {
  return {property, Shape::kSimple, {}, field, nullptr, value};
}
constexpr Row Bag(std::string_view property, std::vector<std::string> IptcLists::*list) {
  return {property, Shape::kBag, "rdf:Bag", nullptr, list, Transform::kUtf8};
}

constexpr std::array kRows = {
    FirstItem("dc:title", "rdf:Alt", &IptcFields::ObjectName),
    FirstItem("dc:creator", "rdf:Seq", &IptcFields::Byline),
    FirstItem("dc:description", "rdf:Alt", &IptcFields::Caption),
    FirstItem("dc:rights", "rdf:Alt", &IptcFields::Copyright),
    Bag("dc:subject", &IptcLists::KeywordList),
    Simple("photoshop:CaptionWriter", &IptcFields::CaptionWriter),
    Simple("photoshop:Category", &IptcFields::Category),
    Simple("photoshop:DateCreated", &IptcFields::CreatedDate, Transform::kDate),
    Simple("photoshop:City", &IptcFields::City),
    Simple("photoshop:State", &IptcFields::ProvinceState),
    Simple("photoshop:Country", &IptcFields::Country),
    Simple("photoshop:Credit", &IptcFields::Credit),
    Simple("photoshop:Source", &IptcFields::Source),
    Simple("photoshop:Headline", &IptcFields::Headline),
    Simple("photoshop:Instructions", &IptcFields::SpecialInstructions),
    Simple("photoshop:TransmissionReference", &IptcFields::OriginalTransmissionReference),
    Simple("photoshop:Urgency", &IptcFields::Priority),
    Simple("photoshop:AuthorsPosition", &IptcFields::BylineTitle),
    Bag("photoshop:SupplementalCategories", &IptcLists::SupplementalCategoryList),
};

// The namespaces of the rows, by their selection prefixes.
constexpr std::array<std::string_view, 2> kNamespaces = {"dc", "photoshop"};

constexpr std::string_view Prefix(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

constexpr std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

constexpr std::array<std::size_t, kRows.size()> kRowNamespace = [] {
  std::array<std::size_t, kRows.size()> namespaces{};
  for (std::size_t row = 0; row < kRows.size(); ++row) {
    namespaces[row] = static_cast<std::size_t>(
        std::find(kNamespaces.begin(), kNamespaces.end(), Prefix(kRows[row].Property)) - kNamespaces.begin());
  }
  return namespaces;
}();

static_assert(std::find(kRowNamespace.begin(), kRowNamespace.end(), kNamespaces.size()) ==
                  kRowNamespace.end(),
              "every row's property is in one of the namespaces");

constexpr std::array<std::string_view, kRows.size()> kLocalNames = [] {
  std::array<std::string_view, kRows.size()> locals{};
  for (std::size_t row = 0; row < kRows.size(); ++row) locals[row] = LocalName(kRows[row].Property);
  return locals;
}();

// The row whose property has this local name; kRows.size() for none. The local names differ from row to row.
std::size_t RowOf(std::string_view local) {
  for (std::size_t row = 0; row < kRows.size(); ++row) {
    if (kLocalNames[row] == local) return row;
  }
  return kRows.size();
}

// What one description holds of each row's property, in document order: its elements and the first attribute.
struct Held {
  std::vector<pugi::xml_node> Elements;
  pugi::xml_attribute Attribute;
  bool Any() const { return !Elements.empty() || Attribute; }
};

// A description and its properties, gathered in one pass over its children and attributes: it may hold
// thousands of others, and each row looks up its own property only, once.
struct Description {
  const NamespaceScope* Scope = nullptr;
  std::array<Held, kRows.size()> Properties;
};

Description Gather(const NamespaceScope& scope) {
  Description description{&scope, {}};
  for (const pugi::xml_node child : scope.Element().children()) {
    if (child.type() != pugi::node_element) continue;
    const std::size_t row = RowOf(LocalName(child.name()));
    if (row < kRows.size() && scope.Matches(child, kRows[row].Property)) {
      description.Properties[row].Elements.push_back(child);
    }
  }
  for (const pugi::xml_attribute attribute : scope.Element().attributes()) {
    const std::size_t row = RowOf(LocalName(attribute.name()));
    if (row < kRows.size() && !description.Properties[row].Attribute &&
        scope.Matches(attribute, kRows[row].Property)) {
      description.Properties[row].Attribute = attribute;
    }
  }
  return description;
}

// The first P/C/rdf:li item (dc:title/rdf:Alt/rdf:li) in document order, and the P element holding it.
struct Item {
  pugi::xml_node Property;
  pugi::xml_node Node;
};

pugi::xml_node FirstItemOf(const NamespaceScope& scope, pugi::xml_node p, std::string_view container) {
  const NamespaceScope p_scope(p, &scope);
  for (const pugi::xml_node c : p.children()) {
    if (!p_scope.Matches(c, container)) continue;
    if (const pugi::xml_node item = NamespaceScope(c, &p_scope).SelectChild("rdf:li")) return item;
  }
  return {};
}

// Rows whose value is the first item of an rdf:Alt or rdf:Seq: other items (further languages) stay. The
// first element of that shape takes the value and the others of the name go; with none, they all give way to
// a new one. An empty value removes every element of that shape and leaves those of another.
void SyncFirstItem(const XmpDocument& document, const Description& description, const Row& row,
                   const Held& held, std::string_view value) {
  pugi::xml_node node = description.Scope->Element();
  Item first;
  for (const pugi::xml_node p : held.Elements) {
    const pugi::xml_node item = FirstItemOf(*description.Scope, p, row.Container);
    if (value.empty()) {
      if (item) node.remove_child(p);
    } else if (item && !first.Node) {
      first = {p, item};
    }
  }
  if (value.empty()) return;
  for (const pugi::xml_node p : held.Elements) {
    if (p != first.Property) node.remove_child(p);
  }
  if (first.Node) {
    document.SetText(first.Node, value);
    return;
  }
  pugi::xml_node p = node.append_child(std::string(row.Property).c_str());
  pugi::xml_node c = p.append_child(std::string(row.Container).c_str());
  pugi::xml_node item = c.append_child("rdf:li");
  if (item) document.SetText(item, value);
}

// Current writers put simple properties on the description as attributes: that form is updated, or removed,
// in place. Of the elements, the first takes the value and the others go.
void SyncSimple(const XmpDocument& document, const Description& description, const Row& row, const Held& held,
                std::string_view value) {
  pugi::xml_node node = description.Scope->Element();
  if (held.Attribute) {
    if (value.empty()) {
      node.remove_attribute(held.Attribute);
    } else {
      document.SetValue(held.Attribute, value);
    }
  }
  for (std::size_t i = value.empty() ? 0 : 1; i < held.Elements.size(); ++i)
    node.remove_child(held.Elements[i]);
  if (value.empty()) return;
  if (!held.Elements.empty()) {
    document.SetText(held.Elements.front(), value);
  } else if (!held.Attribute) {
    const pugi::xml_node element = node.append_child(std::string(row.Property).c_str());
    if (element) document.SetText(element, value);
  }
}

void SyncBag(const XmpDocument& document, const Description& description, const Row& row, const Held& held,
             const std::vector<std::string>& list) {
  pugi::xml_node node = description.Scope->Element();
  for (const pugi::xml_node element : held.Elements) node.remove_child(element);
  if (list.empty()) return;
  pugi::xml_node bag = node.append_child(std::string(row.Property).c_str()).append_child("rdf:Bag");
  if (!bag) return;
  for (const std::string& entry : list) {
    const pugi::xml_node item = bag.append_child("rdf:li");
    if (item) document.SetText(item, entry);
  }
}

std::string Transformed(const Row& row, std::string_view value, bool values_are_utf8) {
  if (row.Value == Transform::kDate) return IptcDateToXmp(value);
  return values_are_utf8 ? std::string(value) : coding::EncodeUtf8Bytes(value);
}

// One row over the descriptions that declare its namespace. The property lives in one of them only: the
// first that holds it, in element or attribute form, or else the first of all takes the value; the others
// lose theirs, as with an empty value.
void SyncRow(const XmpDocument& document, const std::vector<Description>& descriptions, std::size_t index,
             const IptcFields& fields, const IptcLists& lists, bool values_are_utf8) {
  if (descriptions.empty()) return;
  const Description* target = &descriptions.front();
  for (const Description& description : descriptions) {
    if (description.Properties[index].Any()) {
      target = &description;
      break;
    }
  }
  const Row& row = kRows[index];
  std::string value;
  std::vector<std::string> entries;
  if (row.Form == Shape::kBag) {
    for (const std::string& entry : lists.*row.List)
      entries.push_back(Transformed(row, entry, values_are_utf8));
  } else if (const std::string& field = fields.*row.Field; !field.empty()) {
    value = Transformed(row, field, values_are_utf8);
  }
  static const std::vector<std::string> kNone;
  for (const Description& description : descriptions) {
    const bool takes_value = &description == target;
    const Held& held = description.Properties[index];
    const std::string_view v = takes_value ? std::string_view(value) : std::string_view();
    switch (row.Form) {
      case Shape::kFirstItem:
        SyncFirstItem(document, description, row, held, v);
        break;
      case Shape::kSimple:
        SyncSimple(document, description, row, held, v);
        break;
      case Shape::kBag:
        SyncBag(document, description, row, held, takes_value ? entries : kNone);
        break;
    }
  }
}

}  // namespace

void SynchronizeXmp(XmpDocument& document, const IptcFields& fields, const IptcLists& lists,
                    bool values_are_utf8) {
  const pugi::xml_node root = document.DocumentElement();
  if (!root) return;
  // Each scope is read once; the deque keeps them in place for the scopes built within them.
  std::deque<NamespaceScope> scopes;
  const NamespaceScope& root_scope = scopes.emplace_back(root);
  std::array<std::vector<Description>, kNamespaces.size()> declaring;
  for (const pugi::xml_node rdf : root.children()) {
    if (!root_scope.Matches(rdf, "rdf:RDF")) continue;
    const NamespaceScope& rdf_scope = scopes.emplace_back(rdf, &root_scope);
    for (const pugi::xml_node description : rdf.children()) {
      if (!rdf_scope.Matches(description, "rdf:Description")) continue;
      std::array<bool, kNamespaces.size()> declares{};
      for (const pugi::xml_attribute attribute : description.attributes()) {
        const std::string_view name = attribute.name();
        for (std::size_t ns = 0; ns < kNamespaces.size(); ++ns) {
          declares[ns] = declares[ns] || (name.starts_with("xmlns:") && name.substr(6) == kNamespaces[ns]);
        }
      }
      if (std::find(declares.begin(), declares.end(), true) == declares.end()) continue;
      const Description gathered = Gather(scopes.emplace_back(description, &rdf_scope));
      for (std::size_t ns = 0; ns < kNamespaces.size(); ++ns) {
        if (declares[ns]) declaring[ns].push_back(gathered);
      }
    }
  }

  // The bags go last: each is taken out and appended anew, so when it follows every property a pass can
  // create, the next pass with the same values finds the description as it left it.
  for (const bool bags : {false, true}) {
    for (std::size_t row = 0; row < kRows.size(); ++row) {
      if ((kRows[row].Form == Shape::kBag) != bags) continue;
      SyncRow(document, declaring[kRowNamespace[row]], row, fields, lists, values_are_utf8);
    }
  }
}

std::string IptcDateToXmp(std::string_view date) {
  const auto piece = [date](std::size_t from, std::size_t count) {
    return from < date.size() ? std::string(date.substr(from, count)) : std::string();
  };
  return piece(0, 4) + "-" + piece(4, 2) + "-" + piece(6, 2);
}

}  // namespace qm::engine
