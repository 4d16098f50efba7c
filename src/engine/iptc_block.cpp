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

// Whether the record-1 datasets from `position` on declare UTF-8: dataset 1:90 holding ESC % G.
bool DeclaresUtf8(BlockData& data, std::size_t position) {
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

// The one walk, over the positions from the resource's signature (the block's origin) on. `table` is given
// in the recoding mode, where `lists` are filled too.
IptcWalk Walk(BlockData& data, const coding::AccentTable* table, IptcFields& fields, IptcLists* lists) {
  IptcWalk walk;
  const std::size_t base = data.Origin();
  const std::size_t total = data.size() - base;
  const auto at = [&](std::size_t position) { return data[base + position]; };
  const auto stop = [&](IptcWalkEnd end, std::size_t position) {
    walk.End = end;
    walk.Offset = data.Physical(base + position);
    return walk;
  };

  // "8BIM", 0x04 0x04, then the name's length byte at 6; the name field is padded to an even size.
  if (total < 7) return stop(IptcWalkEnd::kHeaderPastEnd, 0);
  const std::size_t size_at = 6 + ((at(6) + 2u) & ~1u);
  if (total < size_at || total - size_at < 4) return stop(IptcWalkEnd::kHeaderPastEnd, 0);
  const std::size_t block_size = static_cast<std::size_t>(at(size_at + 2) << 8 | at(size_at + 3));
  const std::size_t start = size_at + 4;
  // Values end with the resource's data, whose whole size counts here: a value that claims more would reach
  // into the next resource, or, in a file searched whole, into its image data.
  const std::uint64_t whole_size = std::uint64_t{at(size_at)} << 24 | std::uint64_t{at(size_at + 1)} << 16 |
                                   std::uint64_t{at(size_at + 2)} << 8 | at(size_at + 3);
  const std::size_t values_end = static_cast<std::size_t>(std::min<std::uint64_t>(total, start + whole_size));

  walk.DeclaresUtf8 = DeclaresUtf8(data, base + start);
  const bool recode = table != nullptr && !walk.DeclaresUtf8;

  std::string value;
  std::size_t k = start;
  for (const std::size_t last = start + block_size; k <= last;) {
    // Tag, record and dataset number must all be there. A block that fills its segment ends here too, two
    // bytes before the end of its data: only a block that claims more data than there is ends early.
    if (total - k <= 2) return stop(last > total ? IptcWalkEnd::kEndOfData : IptcWalkEnd::kEndOfBlock, k);
    if (at(k) != 0x1C || at(k + 1) != 0x02) {
      ++k;
      continue;
    }
    if (total - k <= 4) return stop(IptcWalkEnd::kDatasetPastEnd, k);
    const int dataset = at(k + 2);
    const std::size_t length = static_cast<std::size_t>(at(k + 3) << 8 | at(k + 4));
    const std::size_t value_start = k + 5;
    const std::size_t room = value_start <= values_end ? values_end - value_start : 0;
    const bool past_end = length > room;
    if (past_end && table == nullptr) return stop(IptcWalkEnd::kDatasetPastEnd, k);
    if (dataset != 0) {
      value.clear();
      const std::size_t count = std::min(length, room);
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t position = base + value_start + i;
        std::uint8_t byte = data[position];
        if (byte == 0) break;
        if (recode && (*table)[byte] != byte) {
          byte = (*table)[byte];
          data.Set(position, byte);
          walk.ChangedEnd = std::max(walk.ChangedEnd, data.Physical(position) + 1);
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

IptcWalk ReadIptcBlock(BlockData& data, IptcFields& fields) { return Walk(data, nullptr, fields, nullptr); }

IptcWalk RecodeIptcBlock(BlockData& data, const coding::AccentTable& table, IptcFields& fields,
                         IptcLists& lists) {
  return Walk(data, &table, fields, &lists);
}

IptcWalk ReadIptcBlock(std::span<const std::uint8_t> image, const IptcResource& resource,
                       IptcFields& fields) {
  ImageBytes bytes(image);
  BlockData data(bytes, resource, IsJpeg(bytes));
  return ReadIptcBlock(data, fields);
}

IptcWalk RecodeIptcBlock(std::span<std::uint8_t> image, const IptcResource& resource,
                         const coding::AccentTable& table, IptcFields& fields, IptcLists& lists) {
  ImageBytes bytes(image);
  BlockData data(bytes, resource, IsJpeg(bytes));
  const IptcWalk walk = RecodeIptcBlock(data, table, fields, lists);
  data.Commit();
  return walk;
}

IptcWalk ReadIptcFromImage(std::span<const std::uint8_t> image, IptcFields& fields) {
  const auto resource = FindIptcResource(image, IsJpeg(image));
  if (!resource) return IptcWalk{};
  return ReadIptcBlock(image, *resource, fields);
}

}  // namespace qm::engine
