// The IPTC walk in both modes, from the resource the search finds and from any place the input names.
#include <cstdint>
#include <vector>

#include "engine/iptc_block.h"

namespace {

const qm::coding::AccentTable kMacToWindows = qm::coding::BuildMacToWindows();
const qm::coding::AccentTable kIdentity = qm::coding::IdentityTable();

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void WalkBoth(const std::vector<std::uint8_t>& input, const qm::engine::IptcResource& resource) {
  qm::engine::IptcFields read;
  const auto walk = qm::engine::ReadIptcBlock(input, resource, read);
  Check(walk.Offset <= input.size() && walk.ChangedEnd == 0);

  // Recoding through the identity changes nothing and reads what the read-only walk reads, unless the last
  // dataset ran past the end (recoding keeps it cut, reading drops it).
  std::vector<std::uint8_t> same = input;
  qm::engine::IptcFields fields;
  qm::engine::IptcLists lists;
  const auto identity = qm::engine::RecodeIptcBlock(same, resource, kIdentity, fields, lists);
  Check(same == input && identity.ChangedEnd == 0 && identity.DeclaresUtf8 == walk.DeclaresUtf8);
  if (walk.End != qm::engine::IptcWalkEnd::kDatasetPastEnd) Check(fields == read);

  std::vector<std::uint8_t> recoded = input;
  fields.Clear();
  lists = {};
  const auto recode = qm::engine::RecodeIptcBlock(recoded, resource, kMacToWindows, fields, lists);
  Check(recode.ChangedEnd <= input.size());
  for (std::size_t i = recode.ChangedEnd; i < input.size(); ++i) Check(recoded[i] == input[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> input(data, data + size);
  qm::engine::IptcFields fields;
  qm::engine::ReadIptcFromImage(input, fields);
  if (const auto resource = qm::engine::FindIptcResource(input, qm::engine::IsJpeg(input))) {
    Check(resource->Signature < input.size() && resource->SegmentEnd <= input.size());
    WalkBoth(input, *resource);
  }
  if (size >= 4) {
    const std::size_t signature = static_cast<std::size_t>(data[0] << 8 | data[1]) % size;
    WalkBoth(input, {signature, static_cast<std::size_t>(data[2] << 8 | data[3])});
  }
  return 0;
}
