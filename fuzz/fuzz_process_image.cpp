// The whole edit of one image in memory, under every combination of options, which the first byte chooses.
// A synchronised output, edited again without recoding, must come out unchanged.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/image_edit.h"
#include "engine/iptc_block.h"
#include "engine/jpeg_segments.h"
#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "sync_checks.h"

namespace {

using qm::fuzz::Check;

const qm::coding::AccentTable kTables[] = {qm::coding::BuildMacToWindows(), qm::coding::BuildWindowsToMac(),
                                           qm::coding::IdentityTable()};

// What an edit with the table takes from the image's IPTC block for the synchronisation.
struct IptcReading {
  qm::engine::IptcFields Fields;
  qm::engine::IptcLists Lists;
  bool Utf8 = false;
  bool operator==(const IptcReading& other) const {
    return Fields == other.Fields && Lists.KeywordList == other.Lists.KeywordList &&
           Lists.SupplementalCategoryList == other.Lists.SupplementalCategoryList && Utf8 == other.Utf8;
  }
};

IptcReading Read(std::vector<std::uint8_t> image, const qm::coding::AccentTable& table) {
  IptcReading reading;
  if (const auto resource = qm::engine::FindIptcResource(image, qm::engine::IsJpeg(image))) {
    reading.Utf8 =
        qm::engine::RecodeIptcBlock(image, *resource, table, reading.Fields, reading.Lists).DeclaresUtf8;
  }
  return reading;
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
  const std::vector<std::uint8_t> output = qm::engine::OutputBytes(image, plan);
  Check(output.size() == image.size() - (plan.CutEnd - plan.CutBegin));
  if (!settings.SynchronizeXMP || settings.RemoveXMP) return 0;

  // A packet that was rewritten holds every property in its namespace.
  const IptcReading first = Read(input, *settings.ActiveAccentTable);
  if (result.Outcome == qm::engine::ProcessOutcome::kWritten && result.PacketBefore) {
    qm::engine::XmpDocument before, after;
    Check(!before.Load(qm::engine::WithoutTrailingPadding(*result.PacketBefore)));
    Check(!after.Load(*result.PacketAfter));
    qm::fuzz::CheckInTheirNamespaces(before, after, fields, &first.Lists);
  }
  // The same IPTC values synchronised again change no byte. (A hostile file can lay an IPTC value over the
  // packet: the rewritten packet then gives other values.)
  if (!(Read(output, kTables[2]) == first)) return 0;
  std::vector<std::uint8_t> again = output;
  qm::engine::IptcFields fields_again;
  qm::engine::OutputPlan plan_again;
  settings.ActiveAccentTable = &kTables[2];
  Check(qm::engine::OutputWritten(qm::engine::EditImage(again, settings, fields_again, plan_again).Outcome));
  Check(qm::engine::OutputBytes(again, plan_again) == output);
  return 0;
}
