#include "inspector/coding_verdict.h"

#include <algorithm>

namespace qm::inspector {
namespace {

constexpr std::array<bool, 256> MarkerLookup() {
  std::array<bool, 256> is_marker{};
  for (const std::uint8_t b : MacMarkerBytes) is_marker[b] = true;
  return is_marker;
}

constexpr std::array<bool, 256> kIsMarker = MarkerLookup();

}  // namespace

Verdict JudgeCoding(std::string_view text, bool utf8) {
  if (text.empty()) return Verdict::kEmptyText;
  if (utf8) return Verdict::kUtf8;
  const bool has_marker =
      std::any_of(text.begin(), text.end(), [](char c) { return kIsMarker[static_cast<std::uint8_t>(c)]; });
  return has_marker ? Verdict::kMacintosh : Verdict::kWindows;
}

VerdictState StateOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::kMacintosh:
      return {"IPTC metadata (expected Macintosh coding)", true, false, false, true};
    case Verdict::kWindows:
      return {"IPTC metadata (expected Windows coding)", false, true, false, true};
    case Verdict::kUtf8:
      return {"IPTC metadata (UTF-8 coding)", false, false, true, true};
    case Verdict::kEmptyText:
      break;
  }
  return {"No IPTC metadata", false, false, true, false};
}

}  // namespace qm::inspector
