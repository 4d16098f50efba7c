// Any packet, synchronised with fields taken from the input: what the document writes must load again and be
// written the same way, a second synchronisation with the same fields must change nothing, no property may be
// written outside its namespace, and fitting never fails in an unsafe way.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "engine/xmp_sync.h"
#include "sync_checks.h"

namespace {

using qm::fuzz::Check;

// The next '|'-separated value of the field text, without zero bytes (an IPTC value stops at its first one).
std::string NextValue(std::string_view& fields) {
  const std::size_t bar = fields.find('|');
  std::string value(fields.substr(0, bar));
  fields = bar == std::string_view::npos ? std::string_view() : fields.substr(bar + 1);
  std::erase(value, '\0');
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Before the first 0xFF byte: the field values; after it: the packet. The first byte says whether the
  // values are UTF-8.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\xFF');
  std::string_view field_text = split == std::string_view::npos ? std::string_view() : input.substr(0, split);
  const std::string_view packet = split == std::string_view::npos ? input : input.substr(split + 1);
  const bool utf8 = !field_text.empty() && (field_text[0] & 1) != 0;

  qm::engine::IptcFields f;
  qm::engine::IptcLists lists;
  for (std::string* field :
       {&f.ObjectName, &f.Byline, &f.Caption, &f.Copyright, &f.CaptionWriter, &f.Category, &f.CreatedDate,
        &f.City, &f.ProvinceState, &f.Country, &f.Credit, &f.Source, &f.Headline, &f.SpecialInstructions,
        &f.OriginalTransmissionReference, &f.Priority, &f.BylineTitle}) {
    *field = NextValue(field_text);
  }
  while (!field_text.empty()) {
    std::string value = NextValue(field_text);
    (value.size() % 2 == 0 ? lists.KeywordList : lists.SupplementalCategoryList).push_back(std::move(value));
  }

  static qm::engine::XmpDocument document;
  if (document.Load(qm::engine::WithoutTrailingPadding(packet))) return 0;
  qm::engine::SynchronizeXmp(document, f, lists, utf8);
  const std::string xml = document.Xml();

  qm::engine::XmpDocument again;
  Check(!again.Load(xml));
  Check(again.Xml() == xml);
  qm::engine::XmpDocument before;
  Check(!before.Load(qm::engine::WithoutTrailingPadding(packet)));
  qm::fuzz::CheckInTheirNamespaces(before, again, f, &lists);
  qm::engine::SynchronizeXmp(again, f, lists, utf8);
  Check(again.Xml() == xml);

  const auto fitted = qm::engine::FitPacket(xml, packet.size());
  Check(!fitted.Fits || fitted.Text.size() == packet.size());
  return 0;
}
