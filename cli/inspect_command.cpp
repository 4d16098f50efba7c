#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "app/engine_messages.h"
#include "app/entry_text.h"
#include "cli/commands.h"
#include "coding/utf8.h"
#include "inspector/coding_verdict.h"
#include "inspector/field_text.h"
#include "inspector/iptc_reader.h"
#include "inspector/shown_text.h"
#include "platform/file_services.h"

namespace qm::cli {
namespace {

// The field text for a terminal: UTF-8, one "\n" for each line break, and every other control character (C0,
// DEL and C1, where the bytes that Windows-1252 leaves undefined land) written as "\xNN" with its code, so
// that the bytes of an image never drive the terminal.
std::string TerminalText(std::string_view field_text, bool utf8) {
  const inspector::ShownText shown(field_text, utf8);
  const std::string& text = shown.Shown();
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    // The shown text is well-formed UTF-8.
    const coding::Utf8Character character =
        coding::DecodeUtf8(text, at).value_or(coding::Utf8Character{0xFFFD, 1});
    const char32_t code = character.Code;
    if (code == '\n' || code == '\t' || (code >= 0x20 && code < 0x7F) || code > 0x9F) {
      out.append(text, at, character.Length);
    } else {
      constexpr char kDigits[] = "0123456789ABCDEF";
      out += "\\x";
      out += kDigits[code >> 4];
      out += kDigits[code & 0xF];
    }
    at += character.Length;
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
    const std::string shown = app::PrintableName(file);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::PathOf(file), ec)) {
      Complain(context, shown + (std::filesystem::exists(platform::PathOf(file), ec) ? ": not a regular file"
                                                                                     : ": no such file"));
      status = kExitKept;
      continue;
    }
    const inspector::ReadResult read = inspector::ReadIptcFields(file, context.State.IptcFields);
    if (read.File == engine::InputImageFile::Status::kShortRead) {
      app::ShowShortReadMessage(context.View, file);
      Complain(context, shown + ": the file ended before its size; the fields follow as far as it goes");
      status = kExitKept;
    }
    if (read.Walk.End == engine::IptcWalkEnd::kDatasetPastEnd) {
      Complain(context, shown + ": the IPTC dataset at offset " + std::to_string(read.Walk.Offset) +
                            " runs past the end of its data; the fields before it follow");
      status = kExitKept;
    }
    const std::string text = inspector::BuildFieldText(context.State.IptcFields);
    if (files.size() > 1) out << (i > 0 ? "\n" : "") << "==> " << shown << " <==\n";
    const bool utf8 = read.Walk.DeclaresUtf8;
    if (context.Given.Raw) {
      out << text;
    } else {
      out << TerminalText(text, utf8);
    }
    out << inspector::StateOf(inspector::JudgeCoding(text, utf8)).Caption << '\n' << std::flush;
  }
  return status;
}

}  // namespace

extern const Command kInspectCommand{"inspect", "[--raw] FILE...",
                                     "print each file's IPTC fields as stored and the coding they seem "
                                     "written in (--raw: the bytes as stored)",
                                     true, Inspect};

}  // namespace qm::cli
