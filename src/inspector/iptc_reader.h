#pragma once

#include <string_view>

#include "engine/image_file.h"
#include "engine/iptc_block.h"
#include "engine/iptc_fields.h"

namespace qm::inspector {

/// What reading one file for the inspector found.
struct ReadResult {
  /// kNothingToRead for a missing, empty or special file (a folder, a pipe, a device).
  engine::InputImageFile::Status File = engine::InputImageFile::Status::kNothingToRead;
  /// How the walk over the IPTC datasets ended and where; kNoResource when nothing was walked.
  engine::IptcWalk Walk;
};

/// Empties `fields` and fills them with the IPTC values of the file at `path` (a folder setting followed by
/// the bare name), byte for byte as stored: nothing is recoded, so a Macintosh é (0x8E) stays the Windows Ž.
/// The file is opened for reading only, read whole and closed before return; neither its bytes nor its times
/// change; a pipe or a device is never waited on. A missing, empty or special file leaves every field empty.
/// A file that ends before its size (kShortRead, which the caller tells the user of) is read with zero bytes
/// in place of the missing ones. A dataset that runs past the end of the data stops the reading there; the
/// fields before it stay. The walk says whether the block declares UTF-8.
ReadResult ReadIptcFields(std::string_view path, engine::IptcFields& fields);

}  // namespace qm::inspector
