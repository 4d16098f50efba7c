#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "coding/accent_tables.h"
#include "engine/block_data.h"
#include "engine/iptc_fields.h"
#include "engine/jpeg_segments.h"

// The IPTC walk: the IIM datasets of record 2 inside the IPTC resource, read into `IptcFields`.
//
// The resource header is "8BIM", 0x04 0x04, a name (length byte, characters, padded to an even size; an empty
// name is two zero bytes) and a 4-byte size of which only the low 16 bits count. The walk tests every
// position from the start of the data to start + size inclusive: a position holding 0x1C 0x02 is a dataset
// (number, 16-bit length, value); anything else, datasets of other records included, is passed over byte by
// byte. It ends when a tested position is within two bytes of the end of the data. A value ends at its first
// zero byte.
//
// "The end of the data" is the end of the block (see BlockData): in JPEG mode the end of the APP13 segment
// holding the resource, or of the last APP13 segment that continues it (Photoshop splits a large block over
// consecutive APP13 segments, each after an 18-byte marker, length and "Photoshop 3.0" header). The walk
// steps over those headers: they are never read into a value nor recoded, and a value split across two
// segments is read whole. Nothing outside the data is ever read or written, whatever a length says, and no
// value reaches past its resource's data (its whole 32-bit size), into the next resource or a file's image
// data.

namespace qm::engine {

/// The two lists the XMP synchronisation needs, in order of appearance, empty values included.
struct IptcLists {
  std::vector<std::string> KeywordList;               // 2:25
  std::vector<std::string> SupplementalCategoryList;  // 2:20
};

/// Why the walk ended.
enum class IptcWalkEnd {
  kNoResource,      ///< the image holds no IPTC resource; nothing was read
  kEndOfBlock,      ///< every position of the block's data was tested
  kEndOfData,       ///< the block claims more data than there is; the walk went to the end of the data
  kHeaderPastEnd,   ///< the resource header runs past the end of the data; nothing was read
  kDatasetPastEnd,  ///< a dataset's header or value runs past the end of the data (at `Offset`)
};

/// What the walk did and where it stopped.
struct IptcWalk {
  IptcWalkEnd End = IptcWalkEnd::kNoResource;
  /// Offset in the image where the walk stopped: the tag of the dataset that ran past the end, or the
  /// position at which the end was detected. 0 for kNoResource.
  std::size_t Offset = 0;
  /// Record-2 datasets stored into the fields (2:00 is not stored).
  int Datasets = 0;
  /// Record 1 declares UTF-8 (dataset 1:90 holding ESC % G): the values are UTF-8 and are not recoded.
  bool DeclaresUtf8 = false;
  /// One past the last byte the walk changed in the image; 0 when it changed nothing (always 0 read-only).
  std::size_t ChangedEnd = 0;
};

/// The read-only walk of the block's IPTC resource (at its origin): stores the record-2 values as they are
/// into `fields` (trimmed of spaces, joined fields gathered with "; ", the others keeping the last
/// occurrence, other datasets as "Segment N: value\r\n" lines in `Others`, 2:00 ignored) without changing
/// anything. A dataset whose header or stated length runs past the end of the data stops the walk at that
/// dataset (kDatasetPastEnd): the values stored before it stay, it adds none. `fields` is added to, not
/// emptied first.
IptcWalk ReadIptcBlock(BlockData& data, IptcFields& fields);

/// The recoding walk: as the read-only walk, but first replaces every value byte in the block by its entry in
/// `table` (up to the value's first zero byte) and fills the two lists; BlockData::Commit writes the changes
/// into the image. A value that runs past the end of the data is recoded and stored up to there, and the walk
/// stops (kDatasetPastEnd). A block whose record 1 declares UTF-8 is read, not recoded. `fields` and `lists`
/// are added to, not emptied first.
IptcWalk RecodeIptcBlock(BlockData& data, const coding::AccentTable& table, IptcFields& fields,
                         IptcLists& lists);

/// The two walks of the resource at `resource` of an image held in memory; the recoding walk edits it in
/// place.
IptcWalk ReadIptcBlock(std::span<const std::uint8_t> image, const IptcResource& resource, IptcFields& fields);
IptcWalk RecodeIptcBlock(std::span<std::uint8_t> image, const IptcResource& resource,
                         const coding::AccentTable& table, IptcFields& fields, IptcLists& lists);

/// The read-only walk of an image's first IPTC resource: IsJpeg, FindIptcResource, then ReadIptcBlock
/// (kNoResource when there is none).
IptcWalk ReadIptcFromImage(std::span<const std::uint8_t> image, IptcFields& fields);

}  // namespace qm::engine
