#include "engine/xmp_sync.h"

#include <functional>
#include <vector>

#include "coding/windows1252.h"

namespace qm::engine {
namespace {

using Transform = std::function<std::string(std::string_view)>;

// A property's path below its description, e.g. dc:title/rdf:Alt/rdf:li; the first match in document order.
pugi::xml_node SelectItem(pugi::xml_node description, std::string_view property, std::string_view container) {
  for (const pugi::xml_node p : description.children()) {
    if (!MatchesSelection(p, property)) continue;
    for (const pugi::xml_node c : p.children()) {
      if (!MatchesSelection(c, container)) continue;
      if (const pugi::xml_node item = SelectChild(c, "rdf:li")) return item;
    }
  }
  return {};
}

// Rows whose value is the first item of an rdf:Alt or rdf:Seq: other items (further languages) stay.
void SyncFirstItem(const XmpDocument& document, pugi::xml_node description, std::string_view property,
                   std::string_view container, std::string_view value, const Transform& transform) {
  if (const pugi::xml_node item = SelectItem(description, property, container)) {
    if (!value.empty()) {
      document.SetText(item, transform(value));
    } else {
      description.remove_child(SelectChild(description, property));
    }
    return;
  }
  if (value.empty()) return;  // a property of some other shape is left alone
  pugi::xml_node p = description.append_child(std::string(property).c_str());
  pugi::xml_node c = p.append_child(std::string(container).c_str());
  pugi::xml_node item = c.append_child("rdf:li");
  if (item) document.SetText(item, transform(value));
}

void SyncSimple(const XmpDocument& document, pugi::xml_node description, std::string_view property,
                std::string_view value, const Transform& transform) {
  // Current writers put simple properties on the description as attributes: that form is updated in place.
  const pugi::xml_attribute attribute = SelectAttribute(description, property);
  if (attribute) {
    if (value.empty()) {
      description.remove_attribute(attribute);
    } else {
      document.SetValue(attribute, transform(value));
    }
  }
  if (const pugi::xml_node element = SelectChild(description, property)) {
    if (value.empty()) {
      description.remove_child(element);
    } else {
      document.SetText(element, transform(value));
    }
    return;
  }
  if (attribute || value.empty()) return;
  const pugi::xml_node element = description.append_child(std::string(property).c_str());
  if (element) document.SetText(element, transform(value));
}

void SyncBag(const XmpDocument& document, pugi::xml_node description, std::string_view property,
             const std::vector<std::string>& list, const Transform& transform) {
  if (const pugi::xml_node old = SelectChild(description, property)) description.remove_child(old);
  if (list.empty()) return;
  pugi::xml_node bag = description.append_child(std::string(property).c_str()).append_child("rdf:Bag");
  if (!bag) return;
  for (const std::string& entry : list) {
    const pugi::xml_node item = bag.append_child("rdf:li");
    if (item) document.SetText(item, transform(entry));
  }
}

}  // namespace

void SynchronizeXmp(XmpDocument& document, const IptcFields& fields, const IptcLists& lists,
                    bool values_are_utf8) {
  pugi::xml_node dc, photoshop;
  for (const pugi::xml_node rdf : document.DocumentElement().children()) {
    if (!MatchesSelection(rdf, "rdf:RDF")) continue;
    for (const pugi::xml_node description : rdf.children()) {
      if (!MatchesSelection(description, "rdf:Description")) continue;
      for (const pugi::xml_attribute attribute : description.attributes()) {
        const std::string_view name = attribute.name();
        if (name == "xmlns:dc") dc = description;
        if (name == "xmlns:photoshop") photoshop = description;
      }
    }
  }

  const Transform utf8 = [values_are_utf8](std::string_view v) {
    return values_are_utf8 ? std::string(v) : coding::EncodeUtf8Bytes(v);
  };
  if (dc) {
    SyncFirstItem(document, dc, "dc:title", "rdf:Alt", fields.ObjectName, utf8);
    SyncFirstItem(document, dc, "dc:creator", "rdf:Seq", fields.Byline, utf8);
    SyncFirstItem(document, dc, "dc:description", "rdf:Alt", fields.Caption, utf8);
    SyncFirstItem(document, dc, "dc:rights", "rdf:Alt", fields.Copyright, utf8);
    SyncBag(document, dc, "dc:subject", lists.KeywordList, utf8);
  }
  if (photoshop) {
    SyncSimple(document, photoshop, "photoshop:CaptionWriter", fields.CaptionWriter, utf8);
    SyncSimple(document, photoshop, "photoshop:Category", fields.Category, utf8);
    SyncSimple(document, photoshop, "photoshop:DateCreated", fields.CreatedDate, IptcDateToXmp);
    SyncSimple(document, photoshop, "photoshop:City", fields.City, utf8);
    SyncSimple(document, photoshop, "photoshop:State", fields.ProvinceState, utf8);
    SyncSimple(document, photoshop, "photoshop:Country", fields.Country, utf8);
    SyncSimple(document, photoshop, "photoshop:Credit", fields.Credit, utf8);
    SyncSimple(document, photoshop, "photoshop:Source", fields.Source, utf8);
    SyncSimple(document, photoshop, "photoshop:Headline", fields.Headline, utf8);
    SyncSimple(document, photoshop, "photoshop:Instructions", fields.SpecialInstructions, utf8);
    SyncSimple(document, photoshop, "photoshop:TransmissionReference", fields.OriginalTransmissionReference,
               utf8);
    SyncSimple(document, photoshop, "photoshop:Urgency", fields.Priority, utf8);
    SyncSimple(document, photoshop, "photoshop:AuthorsPosition", fields.BylineTitle, utf8);
    SyncBag(document, photoshop, "photoshop:SupplementalCategories", lists.SupplementalCategoryList, utf8);
  }
}

std::string IptcDateToXmp(std::string_view date) {
  const auto piece = [date](std::size_t from, std::size_t count) {
    return from < date.size() ? std::string(date.substr(from, count)) : std::string();
  };
  return piece(0, 4) + "-" + piece(4, 2) + "-" + piece(6, 2);
}

}  // namespace qm::engine
