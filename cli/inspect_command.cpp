#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "coding/windows1252.h"
#include "inspector/coding_verdict.h"
#include "inspector/field_text.h"
#include "inspector/iptc_reader.h"
#include "inspector/shown_text.h"

namespace qm::cli {
namespace {

// Whether Windows-1252 leaves the byte without a character: a terminal could take its code point for a C1
// control.
bool Undefined(std::uint8_t b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

// The field text for a terminal: UTF-8, one "\n" for each line break, and every control character (and each
// byte that Windows-1252 leaves undefined) written as "\xNN", so that the bytes of an image never drive the
// terminal.
std::string TerminalText(std::string_view field_text) {
  const inspector::ShownText shown(field_text);
  std::string out;
  out.reserve(shown.Shown().size());
  for (const char c : shown.Shown()) {
    const auto b = static_cast<std::uint8_t>(c);
    if (c == '\n' || c == '\t') {
      out += c;
    } else if (b < 0x20 || b == 0x7F || Undefined(b)) {
      constexpr char kDigits[] = "0123456789ABCDEF";
      out += "\\x";
      out += kDigits[b >> 4];
      out += kDigits[b & 0xF];
    } else {
      out += coding::EncodeUtf8Bytes(std::string_view(&c, 1));
    }
  }
  return out;
}

// Prints each file's fields and their coding verdict, in the order given.
int Inspect(Context& context) {
  const std::vector<std::string>& files = context.Given.Arguments;
  if (files.empty()) {
    Complain(context, "inspect: no file given");
    return kExitInvalid;
  }
  std::ostream& out = context.Io.Out;
  int status = kExitDone;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& file = files[i];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      Complain(context,
               file + (std::filesystem::exists(file, ec) ? ": not a regular file" : ": no such file"));
      status = kExitKept;
      continue;
    }
    const inspector::ReadResult read =
        inspector::ReadIptcFields(file, context.State.IptcFields, context.View);
    if (read.File == engine::InputImageFile::Status::kShortRead) {
      Complain(context, file + ": the file ended before its size; the fields follow as far as it goes");
      status = kExitKept;
    }
    if (read.Walk.End == engine::IptcWalkEnd::kDatasetPastEnd) {
      Complain(context, file + ": the IPTC dataset at offset " + std::to_string(read.Walk.Offset) +
                            " runs past the end of its data; the fields before it follow");
      status = kExitKept;
    }
    const std::string text = inspector::BuildFieldText(context.State.IptcFields);
    if (files.size() > 1) out << (i > 0 ? "\n" : "") << "==> " << file << " <==\n";
    if (context.Given.Raw) {
      out << text;
    } else {
      out << TerminalText(text);
    }
    out << inspector::StateOf(inspector::JudgeCoding(text)).Caption << '\n' << std::flush;
  }
  return status;
}

}  // namespace

extern const Command kInspectCommand{"inspect", "[--raw] FILE...",
                                     "print each file's IPTC fields as stored and the coding they seem "
                                     "written in (--raw: the bytes as stored)",
                                     true, Inspect};

}  // namespace qm::cli
