#include "engine/xmp_sync.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

// The namespaces of the rows, by their selection prefixes, which are also the prefixes new properties take
// where nothing else is bound to their names.
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

// Whether an element name can carry the prefix: a name's first character is a letter, '_' or a byte above
// 127, and a prefix holds no colon. The prefix of a declaration may be anything an attribute name holds.
bool IsElementPrefix(std::string_view prefix) {
  if (prefix.empty() || prefix.find(':') != std::string_view::npos) return false;
  const auto first = static_cast<unsigned char>(prefix.front());
  return first >= 0x80 || first == '_' || (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
}

// N of a prefix written as the usual one followed by N in decimal ("dc12": 12), as a free prefix is made;
// 0 for any other.
std::uint64_t Suffix(std::string_view prefix, std::string_view usual) {
  if (!prefix.starts_with(usual)) return 0;
  const std::string_view digits = prefix.substr(usual.size());
  if (digits.empty() || digits.size() > 19 || digits.front() == '0') return 0;
  std::uint64_t n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return n;
}

// A namespace as seen from one element, read from its own declarations and what its parent saw: whether a
// declaration there or on an enclosing element names it, a prefix bound to it there that new elements can
// take (the usual one first, else the element's own, else its parent's), and the highest N of the prefixes
// usual+N declared there or above.
struct NamespaceUse {
  bool Declared = false;
  std::string_view Prefix;
  std::uint64_t HighestSuffix = 0;
};

NamespaceUse UseAt(const NamespaceScope& scope, const NamespaceUse& above, std::size_t ns) {
  const std::string_view usual = kNamespaces[ns];
  const std::string_view name = SelectionNamespaceName(usual);
  const auto bound_here = [&scope, name](std::string_view prefix) {
    return IsElementPrefix(prefix) && scope.Find(prefix) == name;
  };
  NamespaceUse use = above;
  std::string_view own;
  for (const pugi::xml_attribute attribute : scope.Element().attributes()) {
    const auto prefix = DeclaredPrefix(attribute.name());
    if (!prefix) continue;
    use.HighestSuffix = std::max(use.HighestSuffix, Suffix(*prefix, usual));
    if (attribute.value() != name) continue;
    use.Declared = true;
    if (own.empty() && bound_here(*prefix)) own = *prefix;
  }
  if (bound_here(usual)) {
    use.Prefix = usual;
  } else if (!own.empty()) {
    use.Prefix = own;
  } else if (!bound_here(use.Prefix)) {
    use.Prefix = {};
  }
  return use;
}

// What one description holds of each row's property, in document order: its elements and its attributes (a
// parser that lets an attribute be written twice may find several).
struct Held {
  std::vector<pugi::xml_node> Elements;
  std::vector<pugi::xml_attribute> Attributes;
  bool Any() const { return !Elements.empty() || !Attributes.empty(); }
};

// How a description's new properties of one namespace are named: with the prefix bound to it there, or,
// where none can be used (the namespace is the default one, or its usual prefix stands for another name
// there), with a free prefix that each new element declares itself.
struct NewName {
  std::string Prefix;
  bool Declare = false;
};

// A description and its properties, gathered in one pass over its children and attributes: it may hold
// thousands of others, and each row looks up its own property only, once.
struct Description {
  const NamespaceScope* Scope = nullptr;
  std::string_view RdfPrefix;  // the description's own, bound to the RDF namespace where it stands
  std::array<NewName, kNamespaces.size()> New;
  std::array<Held, kRows.size()> Properties;
};

void Gather(Description& description) {
  const NamespaceScope& scope = *description.Scope;
  for (const pugi::xml_node child : scope.Element().children()) {
    if (child.type() != pugi::node_element) continue;
    const std::size_t row = RowOf(LocalName(child.name()));
    if (row < kRows.size() && scope.Matches(child, kRows[row].Property)) {
      description.Properties[row].Elements.push_back(child);
    }
  }
  for (const pugi::xml_attribute attribute : scope.Element().attributes()) {
    const std::size_t row = RowOf(LocalName(attribute.name()));
    if (row < kRows.size() && scope.Matches(attribute, kRows[row].Property)) {
      description.Properties[row].Attributes.push_back(attribute);
    }
  }
}

NewName NameNew(const NamespaceScope& scope, const NamespaceUse& use, std::size_t ns) {
  if (!use.Prefix.empty()) return {std::string(use.Prefix), false};
  const std::string_view usual = kNamespaces[ns];
  if (!scope.Find(usual)) return {std::string(usual), true};
  for (std::uint64_t n = use.HighestSuffix + 1;; ++n) {
    std::string prefix = std::string(usual) + std::to_string(n);
    if (!scope.Find(prefix)) return {std::move(prefix), true};
  }
}

// A new property element, last among the description's children.
pugi::xml_node AppendProperty(const Description& description, std::size_t row) {
  const std::size_t ns = kRowNamespace[row];
  const NewName& name = description.New[ns];
  pugi::xml_node element =
      description.Scope->Element().append_child((name.Prefix + ":" + std::string(kLocalNames[row])).c_str());
  if (element && name.Declare) {
    element.append_attribute(("xmlns:" + name.Prefix).c_str())
        .set_value(std::string(SelectionNamespaceName(kNamespaces[ns])).c_str());
  }
  return element;
}

// A new RDF element (rdf:Bag, rdf:li) under `parent`, with the prefix the description's own name has.
pugi::xml_node AppendRdf(const Description& description, pugi::xml_node parent, std::string_view name) {
  const std::string local(LocalName(name));
  return parent.append_child(
      (description.RdfPrefix.empty() ? local : std::string(description.RdfPrefix) + ":" + local).c_str());
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
void SyncFirstItem(const XmpDocument& document, const Description& description, std::size_t row,
                   const Held& held, std::string_view value) {
  pugi::xml_node node = description.Scope->Element();
  const std::string_view container = kRows[row].Container;
  Item first;
  for (const pugi::xml_node p : held.Elements) {
    const pugi::xml_node item = FirstItemOf(*description.Scope, p, container);
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
  const pugi::xml_node p = AppendProperty(description, row);
  const pugi::xml_node item = AppendRdf(description, AppendRdf(description, p, container), "rdf:li");
  if (item) document.SetText(item, value);
}

// Current writers put simple properties on the description as attributes: that form is updated, or removed,
// in place. Of the attributes and of the elements, the first takes the value and the others go.
void SyncSimple(const XmpDocument& document, const Description& description, std::size_t row,
                const Held& held, std::string_view value) {
  pugi::xml_node node = description.Scope->Element();
  const std::size_t kept = value.empty() ? 0 : 1;
  for (std::size_t i = kept; i < held.Attributes.size(); ++i) node.remove_attribute(held.Attributes[i]);
  for (std::size_t i = kept; i < held.Elements.size(); ++i) node.remove_child(held.Elements[i]);
  if (value.empty()) return;
  if (!held.Attributes.empty()) document.SetValue(held.Attributes.front(), value);
  if (!held.Elements.empty()) document.SetText(held.Elements.front(), value);
  if (!held.Any()) {
    const pugi::xml_node element = AppendProperty(description, row);
    if (element) document.SetText(element, value);
  }
}

void SyncBag(const XmpDocument& document, const Description& description, std::size_t row, const Held& held,
             const std::vector<std::string>& entries) {
  pugi::xml_node node = description.Scope->Element();
  for (const pugi::xml_node element : held.Elements) node.remove_child(element);
  if (entries.empty()) return;
  const pugi::xml_node bag = AppendRdf(description, AppendProperty(description, row), kRows[row].Container);
  if (!bag) return;
  for (const std::string& entry : entries) {
    const pugi::xml_node item = AppendRdf(description, bag, "rdf:li");
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
void SyncRow(const XmpDocument& document, const std::vector<const Description*>& descriptions,
             std::size_t row, const IptcFields& fields, const IptcLists& lists, bool values_are_utf8) {
  if (descriptions.empty()) return;
  const Description* target = descriptions.front();
  for (const Description* description : descriptions) {
    if (description->Properties[row].Any()) {
      target = description;
      break;
    }
  }
  const Row& r = kRows[row];
  std::string value;
  std::vector<std::string> entries;
  if (r.Form == Shape::kBag) {
    for (const std::string& entry : lists.*r.List) entries.push_back(Transformed(r, entry, values_are_utf8));
  } else if (const std::string& field = fields.*r.Field; !field.empty()) {
    value = Transformed(r, field, values_are_utf8);
  }
  static const std::vector<std::string> kNone;
  for (const Description* description : descriptions) {
    const bool takes_value = description == target;
    const Held& held = description->Properties[row];
    const std::string_view v = takes_value ? std::string_view(value) : std::string_view();
    switch (r.Form) {
      case Shape::kFirstItem:
        SyncFirstItem(document, *description, row, held, v);
        break;
      case Shape::kSimple:
        SyncSimple(document, *description, row, held, v);
        break;
      case Shape::kBag:
        SyncBag(document, *description, row, held, takes_value ? entries : kNone);
        break;
    }
  }
}

}  // namespace

void SynchronizeXmp(XmpDocument& document, const IptcFields& fields, const IptcLists& lists,
                    bool values_are_utf8) {
  const pugi::xml_node root = document.DocumentElement();
  if (!root) return;
  // Each scope is read once; the deques keep them in place for the scopes built within them.
  std::deque<NamespaceScope> scopes;
  std::deque<Description> descriptions;
  std::array<std::vector<const Description*>, kNamespaces.size()> declaring;
  const NamespaceScope& root_scope = scopes.emplace_back(root);
  std::array<NamespaceUse, kNamespaces.size()> root_use;
  for (std::size_t ns = 0; ns < kNamespaces.size(); ++ns) root_use[ns] = UseAt(root_scope, {}, ns);
  for (const pugi::xml_node rdf : root.children()) {
    if (!root_scope.Matches(rdf, "rdf:RDF")) continue;
    const NamespaceScope& rdf_scope = scopes.emplace_back(rdf, &root_scope);
    std::array<NamespaceUse, kNamespaces.size()> rdf_use;
    for (std::size_t ns = 0; ns < kNamespaces.size(); ++ns) rdf_use[ns] = UseAt(rdf_scope, root_use[ns], ns);
    for (const pugi::xml_node element : rdf.children()) {
      if (!rdf_scope.Matches(element, "rdf:Description")) continue;
      const NamespaceScope& scope = scopes.emplace_back(element, &rdf_scope);
      Description* description = nullptr;
      for (std::size_t ns = 0; ns < kNamespaces.size(); ++ns) {
        const NamespaceUse use = UseAt(scope, rdf_use[ns], ns);
        if (!use.Declared) continue;
        if (description == nullptr) {
          description = &descriptions.emplace_back();
          description->Scope = &scope;
          description->RdfPrefix = Prefix(element.name());
          Gather(*description);
        }
        description->New[ns] = NameNew(scope, use, ns);
        declaring[ns].push_back(description);
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
