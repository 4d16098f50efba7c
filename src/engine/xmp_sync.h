#pragma once

#include <string>
#include <string_view>

#include "engine/iptc_block.h"
#include "engine/iptc_fields.h"
#include "engine/xmp_document.h"

namespace qm::engine {

/// Brings the loaded packet in line with the IPTC fields, IPTC being the master. The descriptions of
/// rdf:RDF/rdf:Description in the Dublin Core namespace (a declaration there or on an enclosing element names
/// http://purl.org/dc/elements/1.1/, whatever its prefix) get dc:title, dc:creator, dc:description, dc:rights
/// (first item of their rdf:Alt or rdf:Seq) and dc:subject (rdf:Bag of `KeywordList`); those in the
/// Photoshop namespace get CaptionWriter, Category, DateCreated, City, State, Country, Credit, Source,
/// Headline, Instructions, TransmissionReference, Urgency, AuthorsPosition and SupplementalCategories. Each
/// property lives in one description: the first that holds it, else the first in its namespace; the others
/// lose theirs, as do further elements of the name in that one. An empty field removes its property, a
/// missing property is created last among the description's children, the two bags after the others, so
/// that synchronising the result again with the same fields changes nothing. A new property takes the prefix
/// bound to its namespace there (dc first), or declares a free one itself (dc, else dc1) where none can be
/// used; no xml:lang or other attribute is added. A simple property written as an attribute of its
/// description is updated, or removed, in place. Values are written as UTF-8: Windows-coded fields through
/// EncodeUtf8Bytes, fields of a block declared UTF-8 (`values_are_utf8`) as they are. Linear in the packet's
/// size.
void SynchronizeXmp(XmpDocument& document, const IptcFields& fields, const IptcLists& lists,
                    bool values_are_utf8);

/// An IIM date (CCYYMMDD) as an XMP date: characters 1 to 4, "-", 5 and 6, "-", 7 and 8, unchecked, so "2003"
/// gives "2003--".
std::string IptcDateToXmp(std::string_view date);

}  // namespace qm::engine
