#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qm::inspector {

/// The Macintosh codes of à â ä ã ç é è ê ë î ï ñ ô ö õ ù û ü (å, 0x8C, is not among them). A Windows text
/// rarely holds these bytes, but three are Windows punctuation (0x91 left single quote, 0x94 right double
/// quote, 0x96 en dash), so a Windows text using them is taken for Macintosh.
inline constexpr std::array<std::uint8_t, 18> MacMarkerBytes = {
    0x88, 0x89, 0x8A, 0x8B, 0x8D, 0x8E, 0x8F, 0x90, 0x91,
    0x94, 0x95, 0x96, 0x99, 0x9A, 0x9B, 0x9D, 0x9E, 0x9F,
};

/// The states of the inspector's coding guess; kUtf8 is no guess: the block declares its coding.
enum class Verdict { kEmptyText, kMacintosh, kWindows, kUtf8 };

/// What a verdict shows: the caption of lblIPTC, which of the three stacked icons is visible, and whether
/// cmdClipboard, lblHexDec1 and lblHexDec2 are enabled.
struct VerdictState {
  const char* Caption;
  bool ImageMac;
  bool ImageWin;
  bool ImageQuillmark;
  bool InspectionEnabled;
};

/// lblIPTC's caption before the first selection.
inline constexpr const char* kInitialVerdictCaption = "IPTC metadata";

/// Empty text gives kEmptyText; the text of a block that declares UTF-8 (`utf8`) gives kUtf8, whatever its
/// bytes; a text holding any of MacMarkerBytes gives kMacintosh; any other text, plain ASCII included, gives
/// kWindows.
Verdict JudgeCoding(std::string_view text, bool utf8 = false);

/// The caption, icons and enabled controls of a verdict. UTF-8 shows the program's icon, as no platform's
/// coding is at stake.
VerdictState StateOf(Verdict verdict);

}  // namespace qm::inspector
