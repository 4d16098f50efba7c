#include "engine/xmp_sync.h"

#include <array>
#include <deque>
#include <functional>
#include <vector>

#include "coding/windows1252.h"

namespace qm::engine {
namespace {

using Transform = std::function<std::string(std::string_view)>;

enum class Shape { kFirstItem, kSimple, kBag };

struct Row {
  std::string_view Property;
  Shape Form;
  std::string_view Container;  // rdf:Alt, rdf:Seq or rdf:Bag
};

constexpr std::array<Row, 19> kRows = {{
    {"dc:title", Shape::kFirstItem, "rdf:Alt"},
    {"dc:creator", Shape::kFirstItem, "rdf:Seq"},
    {"dc:description", Shape::kFirstItem, "rdf:Alt"},
    {"dc:rights", Shape::kFirstItem, "rdf:Alt"},
    {"dc:subject", Shape::kBag, "rdf:Bag"},
    {"photoshop:CaptionWriter", Shape::kSimple, ""},
    {"photoshop:Category", Shape::kSimple, ""},
    {"photoshop:DateCreated", Shape::kSimple, ""},
    {"photoshop:City", Shape::kSimple, ""},
    {"photoshop:State", Shape::kSimple, ""},
    {"photoshop:Country", Shape::kSimple, ""},
    {"photoshop:Credit", Shape::kSimple, ""},
    {"photoshop:Source", Shape::kSimple, ""},
    {"photoshop:Headline", Shape::kSimple, ""},
    {"photoshop:Instructions", Shape::kSimple, ""},
    {"photoshop:TransmissionReference", Shape::kSimple, ""},
    {"photoshop:Urgency", Shape::kSimple, ""},
    {"photoshop:AuthorsPosition", Shape::kSimple, ""},
    {"photoshop:SupplementalCategories", Shape::kBag, "rdf:Bag"},
}};
constexpr std::size_t kFirstPhotoshopRow = 5;

constexpr std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

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

Item SelectItem(const NamespaceScope& scope, const Held& held, std::string_view container) {
  for (const pugi::xml_node p : held.Elements) {
    const NamespaceScope p_scope(p, &scope);
    for (const pugi::xml_node c : p.children()) {
      if (!p_scope.Matches(c, container)) continue;
      if (const pugi::xml_node item = NamespaceScope(c, &p_scope).SelectChild("rdf:li")) return {p, item};
    }
  }
  return {};
}

// Rows whose value is the first item of an rdf:Alt or rdf:Seq: other items (further languages) stay. A
// property of another shape stays when the value is empty, and gives way to the new one otherwise.
void SyncFirstItem(const XmpDocument& document, const Description& description, const Row& row,
                   const Held& held, std::string_view value, const Transform& transform) {
  pugi::xml_node node = description.Scope->Element();
  if (const Item item = SelectItem(*description.Scope, held, row.Container); item.Node) {
    if (!value.empty()) {
      document.SetText(item.Node, transform(value));
    } else {
      node.remove_child(item.Property);
    }
    return;
  }
  if (value.empty()) return;
  if (!held.Elements.empty()) node.remove_child(held.Elements.front());
  pugi::xml_node p = node.append_child(std::string(row.Property).c_str());
  pugi::xml_node c = p.append_child(std::string(row.Container).c_str());
  pugi::xml_node item = c.append_child("rdf:li");
  if (item) document.SetText(item, transform(value));
}

void SyncSimple(const XmpDocument& document, const Description& description, const Row& row, const Held& held,
                std::string_view value, const Transform& transform) {
  pugi::xml_node node = description.Scope->Element();
  // Current writers put simple properties on the description as attributes: that form is updated in place.
  if (held.Attribute) {
    if (value.empty()) {
      node.remove_attribute(held.Attribute);
    } else {
      document.SetValue(held.Attribute, transform(value));
    }
  }
  if (!held.Elements.empty()) {
    if (value.empty()) {
      node.remove_child(held.Elements.front());
    } else {
      document.SetText(held.Elements.front(), transform(value));
    }
    return;
  }
  if (held.Attribute || value.empty()) return;
  const pugi::xml_node element = node.append_child(std::string(row.Property).c_str());
  if (element) document.SetText(element, transform(value));
}

void SyncBag(const XmpDocument& document, const Description& description, const Row& row, const Held& held,
             const std::vector<std::string>& list, const Transform& transform) {
  pugi::xml_node node = description.Scope->Element();
  if (!held.Elements.empty()) node.remove_child(held.Elements.front());
  if (list.empty()) return;
  pugi::xml_node bag = node.append_child(std::string(row.Property).c_str()).append_child("rdf:Bag");
  if (!bag) return;
  for (const std::string& entry : list) {
    const pugi::xml_node item = bag.append_child("rdf:li");
    if (item) document.SetText(item, transform(entry));
  }
}

// One row over the descriptions that declare its namespace. The property lives in one of them only: the
// first that holds it, in element or attribute form, or else the first of all takes the value; the others
// lose theirs, as with an empty value.
void SyncRow(const XmpDocument& document, const std::vector<Description>& descriptions, std::size_t index,
             std::string_view value, const std::vector<std::string>& list, const Transform& transform) {
  if (descriptions.empty()) return;
  const Description* target = &descriptions.front();
  for (const Description& description : descriptions) {
    if (description.Properties[index].Any()) {
      target = &description;
      break;
    }
  }
  static const std::vector<std::string> kNone;
  const Row& row = kRows[index];
  for (const Description& description : descriptions) {
    const bool takes_value = &description == target;
    const Held& held = description.Properties[index];
    switch (row.Form) {
      case Shape::kFirstItem:
        SyncFirstItem(document, description, row, held, takes_value ? value : "", transform);
        break;
      case Shape::kSimple:
        SyncSimple(document, description, row, held, takes_value ? value : "", transform);
        break;
      case Shape::kBag:
        SyncBag(document, description, row, held, takes_value ? list : kNone, transform);
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
  std::vector<Description> dc, photoshop;
  for (const pugi::xml_node rdf : root.children()) {
    if (!root_scope.Matches(rdf, "rdf:RDF")) continue;
    const NamespaceScope& rdf_scope = scopes.emplace_back(rdf, &root_scope);
    for (const pugi::xml_node description : rdf.children()) {
      if (!rdf_scope.Matches(description, "rdf:Description")) continue;
      bool declares_dc = false, declares_photoshop = false;
      for (const pugi::xml_attribute attribute : description.attributes()) {
        const std::string_view name = attribute.name();
        declares_dc = declares_dc || name == "xmlns:dc";
        declares_photoshop = declares_photoshop || name == "xmlns:photoshop";
      }
      if (!declares_dc && !declares_photoshop) continue;
      const Description gathered = Gather(scopes.emplace_back(description, &rdf_scope));
      if (declares_dc) dc.push_back(gathered);
      if (declares_photoshop) photoshop.push_back(gathered);
    }
  }

  const Transform utf8 = [values_are_utf8](std::string_view v) {
    return values_are_utf8 ? std::string(v) : coding::EncodeUtf8Bytes(v);
  };
  const std::string_view values[kRows.size()] = {fields.ObjectName,
                                                 fields.Byline,
                                                 fields.Caption,
                                                 fields.Copyright,
                                                 "",
                                                 fields.CaptionWriter,
                                                 fields.Category,
                                                 fields.CreatedDate,
                                                 fields.City,
                                                 fields.ProvinceState,
                                                 fields.Country,
                                                 fields.Credit,
                                                 fields.Source,
                                                 fields.Headline,
                                                 fields.SpecialInstructions,
                                                 fields.OriginalTransmissionReference,
                                                 fields.Priority,
                                                 fields.BylineTitle,
                                                 ""};
  const Transform date = IptcDateToXmp;
  for (std::size_t index = 0; index < kRows.size(); ++index) {
    const bool is_dc = index < kFirstPhotoshopRow;
    const std::vector<std::string>& list = is_dc ? lists.KeywordList : lists.SupplementalCategoryList;
    const bool is_date = kRows[index].Property == "photoshop:DateCreated";
    SyncRow(document, is_dc ? dc : photoshop, index, values[index], list, is_date ? date : utf8);
  }
}

std::string IptcDateToXmp(std::string_view date) {
  const auto piece = [date](std::size_t from, std::size_t count) {
    return from < date.size() ? std::string(date.substr(from, count)) : std::string();
  };
  return piece(0, 4) + "-" + piece(4, 2) + "-" + piece(6, 2);
}

}  // namespace qm::engine
