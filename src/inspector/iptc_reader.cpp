#include "inspector/iptc_reader.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/file_services.h"

namespace qm::inspector {

ReadResult ReadIptcFields(std::string_view path, engine::IptcFields& fields) {
  using Status = engine::InputImageFile::Status;
  fields.Clear();
  ReadResult result;
  // A fresh buffer takes the file's size with zero bytes, so that what a short read leaves out reads as
  // zeros.
  std::vector<std::uint8_t> bytes;
  {
    engine::InputImageFile file;
    result.File = file.Read(platform::PathOf(path), bytes, 0, true);
  }  // closed here, before anything else is done
  if (result.File == Status::kNothingToRead) return result;
  result.Walk = engine::ReadIptcFromImage(bytes, fields);
  return result;
}

}  // namespace qm::inspector
