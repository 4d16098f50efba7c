#pragma once

#include <cstddef>
#include <optional>

#include "engine/block_data.h"

// Photoshop keeps the MD5 digest of the IPTC resource's data in image resource 0x0425 (IPTCDigest). A reader
// that finds a digest which no longer matches takes the IPTC for edited by a program that left the XMP alone,
// and may prefer it to the XMP or warn. Recoding the accents changes the IPTC bytes, so the digest is renewed
// with them when it was current before. Readers join the resources of a block split over several APP13
// segments (segment headers left out), and so does BlockData: the digest may lie in any of them, before the
// IPTC resource or after it, and the IPTC data may run on into the next segment.

namespace qm::engine {

/// A digest resource that holds the MD5 of the IPTC data as it is.
struct IptcDigest {
  /// Where its 16 bytes start, as a position of the block.
  std::size_t Position = 0;
  /// The digest covers the zero byte that pads data of an odd size (some writers count it, most do not).
  bool WithPadding = false;
};

/// The first 0x0425 resource of the block's resource list, when its data is 16 bytes that are the MD5 of the
/// IPTC data as it is now. The list is read from the block's first resource when the IPTC resource is one of
/// its resources, else (a block that starts at the IPTC resource, or whose list does not lead to it) from the
/// IPTC resource on. Nothing when there is none, when its size is not 16, when it does not match, or when a
/// resource runs past the end of the data.
std::optional<IptcDigest> FindCurrentIptcDigest(BlockData& data);

/// Writes the MD5 of the IPTC data as it is now over the digest's 16 bytes of the block.
void RenewIptcDigest(BlockData& data, const IptcDigest& digest);

}  // namespace qm::engine
