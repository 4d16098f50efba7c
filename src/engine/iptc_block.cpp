#include "engine/iptc_block.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/block_data.h"

namespace qm::engine {
namespace {

struct FieldSlot {
  std::string IptcFields::*Field = nullptr;
  bool Joined = false;
};

constexpr std::array<FieldSlot, 256> BuildSlots() {
  std::array<FieldSlot, 256> slots{};
  const auto set = [&slots](int dataset, std::string IptcFields::*field, bool joined = false) {
    slots[static_cast<std::size_t>(dataset)] = {field, joined};
  };
  set(5, &IptcFields::ObjectName);
  set(7, &IptcFields::EditStatus);
  set(10, &IptcFields::Priority);
  set(15, &IptcFields::Category);
  set(20, &IptcFields::SupplementalCategory, true);
  set(22, &IptcFields::FixtureIdentifier);
  set(25, &IptcFields::Keywords, true);
  set(30, &IptcFields::ReleaseDate);
  set(35, &IptcFields::ReleaseTime);
  set(40, &IptcFields::SpecialInstructions);
  set(45, &IptcFields::ReferenceService, true);
  set(47, &IptcFields::ReferenceDate, true);
  set(50, &IptcFields::ReferenceNumber, true);
  set(55, &IptcFields::CreatedDate);
  set(60, &IptcFields::CreatedTime);
  set(65, &IptcFields::OriginatingProgram);
  set(70, &IptcFields::ProgramVersion);
  set(75, &IptcFields::ObjectCycle);
  set(80, &IptcFields::Byline, true);
  set(85, &IptcFields::BylineTitle, true);
  set(90, &IptcFields::City);
  set(95, &IptcFields::ProvinceState);
  set(100, &IptcFields::CountryCode);
  set(101, &IptcFields::Country);
  set(103, &IptcFields::OriginalTransmissionReference);
  set(105, &IptcFields::Headline);
  set(110, &IptcFields::Credit);
  set(115, &IptcFields::Source);
  set(116, &IptcFields::Copyright);
  set(118, &IptcFields::Contact);
  set(120, &IptcFields::Caption);
  set(121, &IptcFields::LocalCaption);
  set(122, &IptcFields::CaptionWriter, true);
  set(130, &IptcFields::ImageType);
  return slots;
}

constexpr std::array<FieldSlot, 256> kSlots = BuildSlots();

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

void Store(int dataset, std::string_view value, IptcFields& fields, IptcLists* lists) {
  const FieldSlot& slot = kSlots[static_cast<std::size_t>(dataset)];
  if (slot.Field == nullptr) {
    fields.Others.append("Segment ")
        .append(std::to_string(dataset))
        .append(": ")
        .append(value)
        .append("\r\n");
    return;
  }
  std::string& field = fields.*slot.Field;
  if (!slot.Joined || field.empty()) {
    field.assign(value);
  } else {
    field.append("; ").append(value);
  }
  if (lists != nullptr && dataset == 25) lists->KeywordList.emplace_back(value);
  if (lists != nullptr && dataset == 20) lists->SupplementalCategoryList.emplace_back(value);
}

// Whether the record-1 datasets at the start of the data declare UTF-8: dataset 1:90 holding ESC % G.
bool DeclaresUtf8(const BlockData& data, std::size_t position) {
  while (data.size() - position >= 5 && data[position] == 0x1C && data[position + 1] == 0x01) {
    const std::size_t length = static_cast<std::size_t>(data[position + 3] << 8 | data[position + 4]);
    if (data[position + 2] == 90 && length == 3 && data.size() - position >= 8 &&
        data[position + 5] == 0x1B && data[position + 6] == '%' && data[position + 7] == 'G') {
      return true;
    }
    position += 5 + length;
    if (position > data.size()) return false;
  }
  return false;
}

// The one walk. `edit` is the image itself in the recoding mode and empty in the read-only mode; `lists` is
// filled in the recoding mode only.
IptcWalk Walk(std::span<const std::uint8_t> image, std::span<std::uint8_t> edit, const IptcResource& resource,
              const coding::AccentTable* table, IptcFields& fields, IptcLists* lists) {
  const bool read_only = edit.empty();
  IptcWalk walk;
  const BlockData data(image, resource);
  const std::size_t total = data.size();
  const auto stop = [&](IptcWalkEnd end, std::size_t position) {
    walk.End = end;
    walk.Offset = data.Physical(position);
    return walk;
  };

  // "8BIM", 0x04 0x04, then the name's length byte at 6; the name field is padded to an even size.
  if (total < 7) return stop(IptcWalkEnd::kHeaderPastEnd, 0);
  const std::size_t size_at = 6 + ((data[6] + 2u) & ~1u);
  if (total < size_at || total - size_at < 4) return stop(IptcWalkEnd::kHeaderPastEnd, 0);
  const std::size_t block_size = static_cast<std::size_t>(data[size_at + 2] << 8 | data[size_at + 3]);
  const std::size_t start = size_at + 4;

  walk.DeclaresUtf8 = DeclaresUtf8(data, start);
  const bool recode = !read_only && !walk.DeclaresUtf8 && table != nullptr;

  std::string value;
  std::size_t k = start;
  for (const std::size_t last = start + block_size; k <= last;) {
    // Tag, record and dataset number must all be there. A block that fills its segment ends here too, two
    // bytes before the end of its data: only a block that claims more data than there is ends early.
    if (total - k <= 2) return stop(last > total ? IptcWalkEnd::kEndOfData : IptcWalkEnd::kEndOfBlock, k);
    if (data[k] != 0x1C || data[k + 1] != 0x02) {
      ++k;
      continue;
    }
    if (total - k <= 4) return stop(IptcWalkEnd::kDatasetPastEnd, k);
    const int dataset = data[k + 2];
    const std::size_t length = static_cast<std::size_t>(data[k + 3] << 8 | data[k + 4]);
    const std::size_t value_start = k + 5;
    const bool past_end = length > total - value_start;
    if (past_end && read_only) return stop(IptcWalkEnd::kDatasetPastEnd, k);
    if (dataset != 0) {
      value.clear();
      const std::size_t count = std::min(length, total - value_start);
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = data.Physical(value_start + i);
        std::uint8_t byte = image[at];
        if (byte == 0) break;
        if (recode && (*table)[byte] != byte) {
          byte = (*table)[byte];
          edit[at] = byte;
          walk.ChangedEnd = std::max(walk.ChangedEnd, at + 1);
        }
        value.push_back(static_cast<char>(byte));
      }
      Store(dataset, TrimSpaces(value), fields, lists);
      ++walk.Datasets;
    }
    if (past_end) return stop(IptcWalkEnd::kDatasetPastEnd, k);
    k = value_start + length;
  }
  return stop(IptcWalkEnd::kEndOfBlock, k);
}

}  // namespace

IptcWalk ReadIptcBlock(std::span<const std::uint8_t> image, const IptcResource& resource,
                       IptcFields& fields) {
  return Walk(image, {}, resource, nullptr, fields, nullptr);
}

IptcWalk RecodeIptcBlock(std::span<std::uint8_t> image, const IptcResource& resource,
                         const coding::AccentTable& table, IptcFields& fields, IptcLists& lists) {
  // An empty image has no resource to walk; the recoding mode is told apart by a non-empty `edit`.
  if (image.empty()) return IptcWalk{};
  return Walk(image, image, resource, &table, fields, &lists);
}

IptcWalk ReadIptcFromImage(std::span<const std::uint8_t> image, IptcFields& fields) {
  const auto resource = FindIptcResource(image, IsJpeg(image));
  if (!resource) return IptcWalk{};
  return ReadIptcBlock(image, *resource, fields);
}

}  // namespace qm::engine
