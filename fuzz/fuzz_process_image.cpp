// The whole edit of one image in memory, under every combination of options, which the first byte chooses.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/image_edit.h"
#include "engine/xmp_document.h"

namespace {

const qm::coding::AccentTable kTables[] = {qm::coding::BuildMacToWindows(), qm::coding::BuildWindowsToMac(),
                                           qm::coding::IdentityTable()};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const auto document = qm::engine::CreateXmpDocument();
  const std::uint8_t options = data[0];
  qm::engine::ProcessSettings settings;
  settings.ActiveAccentTable = &kTables[(options & 3) == 3 ? 2 : options & 3];
  settings.SynchronizeXMP = (options & 4) != 0;
  settings.RemoveXMP = (options & 8) != 0;
  settings.Document = (options & 16) != 0 ? document.get() : nullptr;

  const std::vector<std::uint8_t> input(data + 1, data + size);
  std::vector<std::uint8_t> image = input;
  qm::engine::IptcFields fields;
  qm::engine::OutputPlan plan;
  const auto result = qm::engine::EditImage(image, settings, fields, plan);
  if (!qm::engine::OutputWritten(result.Outcome)) return 0;

  // Every edit keeps the layout: the size changes only by the removed segment, and nothing after the last
  // changed byte differs from the input.
  Check(plan.CutBegin <= plan.CutEnd && plan.CutEnd <= image.size() && plan.ChangedEnd <= image.size());
  Check(settings.RemoveXMP || plan.CutBegin == plan.CutEnd);
  Check(std::equal(image.begin() + static_cast<std::ptrdiff_t>(plan.ChangedEnd), image.end(),
                   input.begin() + static_cast<std::ptrdiff_t>(plan.ChangedEnd)));
  if (settings.ActiveAccentTable == &kTables[2] && !settings.SynchronizeXMP) Check(image == input);
  Check(qm::engine::OutputBytes(image, plan).size() == image.size() - (plan.CutEnd - plan.CutBegin));
  return 0;
}
