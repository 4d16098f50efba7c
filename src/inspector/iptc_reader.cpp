#include "inspector/iptc_reader.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/app_state.h"

namespace qm::inspector {

ReadResult ReadIptcFields(std::string_view path, engine::IptcFields& fields, app::MessageSink& sink) {
  fields.Clear();
  ReadResult result;
  std::vector<std::uint8_t> bytes;
  result.File = ReadWholeFile(std::filesystem::path(path), bytes);
  if (result.File == FileRead::kNothingToRead) return result;
  if (result.File == FileRead::kShortRead) {
    sink.ShowMessage({"Error reading file ...", app::kProgramName, app::MessageIcon::kNone,
                      app::MessageButtons::kOk});
  }
  result.Walk = engine::ReadIptcFromImage(bytes, fields);
  return result;
}

}  // namespace qm::inspector
