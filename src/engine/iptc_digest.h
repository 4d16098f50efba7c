#pragma once

#include <cstddef>
#include <optional>

#include "engine/block_data.h"

// Photoshop keeps the MD5 digest of the IPTC resource's data in image resource 0x0425 (IPTCDigest). A reader
// that finds a digest which no longer matches takes the IPTC for edited by a program that left the XMP alone,
// and may prefer it to the XMP or warn. Recoding the accents changes the IPTC bytes, so the digest is renewed
// with them when it was current before.

namespace qm::engine {

/// A digest resource that holds the MD5 of the IPTC data as it is.
struct IptcDigest {
  /// Where its 16 bytes start, as a position of the block.
  std::size_t Position = 0;
  /// The digest covers the zero byte that pads data of an odd size (some writers count it, most do not).
  bool WithPadding = false;
};

/// The 0x0425 resource that follows the IPTC resource in its resource list (Photoshop writes resources in the
/// order of their numbers), when its data is 16 bytes that are the MD5 of the IPTC data as it is now. Nothing
/// when there is none, when its size is not 16, when it does not match, or when a resource runs past the end
/// of the data.
std::optional<IptcDigest> FindCurrentIptcDigest(BlockData& data);

/// Writes the MD5 of the IPTC data as it is now over the digest's 16 bytes of the block.
void RenewIptcDigest(BlockData& data, const IptcDigest& digest);

}  // namespace qm::engine
