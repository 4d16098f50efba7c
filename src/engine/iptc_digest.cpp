#include "engine/iptc_digest.h"

#include <nettle/md5.h>

#include <algorithm>
#include <array>

#include "engine/block_data.h"

namespace qm::engine {
namespace {

constexpr std::uint16_t kIptcDigestNumber = 0x0425;
constexpr std::size_t kDigestSize = MD5_DIGEST_SIZE;

struct Resource {
  std::uint16_t Number = 0;
  std::size_t Data = 0;  // position of its data
  std::size_t Size = 0;
  std::size_t Next = 0;  // position of the next resource: the data is padded to an even size
};

// The resource whose "8BIM" signature is at `at`: signature, number, name (length byte and characters, padded
// to an even size), 4-byte size, data. Nothing when it is no resource or runs past the end of the data.
std::optional<Resource> ReadResource(const BlockData& data, std::size_t at) {
  const std::size_t total = data.size();
  if (at > total || total - at < 7) return std::nullopt;
  if (data[at] != '8' || data[at + 1] != 'B' || data[at + 2] != 'I' || data[at + 3] != 'M')
    return std::nullopt;
  const std::size_t size_at = at + 6 + ((data[at + 6] + 2u) & ~1u);
  if (size_at > total || total - size_at < 4) return std::nullopt;
  Resource resource;
  resource.Number = static_cast<std::uint16_t>(data[at + 4] << 8 | data[at + 5]);
  resource.Size = static_cast<std::size_t>(data[size_at]) << 24 |
                  static_cast<std::size_t>(data[size_at + 1]) << 16 |
                  static_cast<std::size_t>(data[size_at + 2]) << 8 | data[size_at + 3];
  resource.Data = size_at + 4;
  if (resource.Size > total - resource.Data) return std::nullopt;
  resource.Next = resource.Data + resource.Size + (resource.Size & 1);
  return resource;
}

using Digest = std::array<std::uint8_t, kDigestSize>;

Digest Md5(std::span<const std::uint8_t> image, const BlockData& data, std::size_t from, std::size_t to) {
  md5_ctx context;
  md5_init(&context);
  data.ForEachStretch(from, to, [&](std::size_t offset, std::size_t count) {
    md5_update(&context, count, image.data() + offset);
  });
  Digest digest;
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

// The IPTC resource and the digest resource after it, both whole within the data.
struct Pair {
  Resource Iptc;
  Resource Digest;
};

std::optional<Pair> FindPair(const BlockData& data) {
  const auto iptc = ReadResource(data, 0);
  if (!iptc) return std::nullopt;
  // Each step moves on by a whole resource, at least 12 bytes.
  for (auto resource = ReadResource(data, iptc->Next); resource;
       resource = ReadResource(data, resource->Next)) {
    if (resource->Number == kIptcDigestNumber) return Pair{*iptc, *resource};
  }
  return std::nullopt;
}

std::size_t CoveredEnd(const Resource& iptc, bool with_padding) {
  return iptc.Data + iptc.Size + with_padding;
}

}  // namespace

std::optional<IptcDigest> FindCurrentIptcDigest(std::span<const std::uint8_t> image,
                                                const IptcResource& resource) {
  const BlockData data(image, resource);
  const auto pair = FindPair(data);
  if (!pair || pair->Digest.Size != kDigestSize) return std::nullopt;
  Digest stored;
  for (std::size_t i = 0; i < kDigestSize; ++i) stored[i] = data[pair->Digest.Data + i];
  for (const bool with_padding : {false, true}) {
    // The padding byte lies before the next resource, so within the data.
    if (with_padding && pair->Iptc.Size % 2 == 0) break;
    if (Md5(image, data, pair->Iptc.Data, CoveredEnd(pair->Iptc, with_padding)) == stored) {
      return IptcDigest{pair->Digest.Data, with_padding};
    }
  }
  return std::nullopt;
}

std::size_t RenewIptcDigest(std::span<std::uint8_t> image, const IptcResource& resource,
                            const IptcDigest& digest) {
  const BlockData data(image, resource);
  const auto iptc = ReadResource(data, 0);
  if (!iptc || digest.Position > data.size() || data.size() - digest.Position < kDigestSize) return 0;
  const Digest renewed = Md5(image, data, iptc->Data, CoveredEnd(*iptc, digest.WithPadding));
  std::size_t end = 0;
  for (std::size_t i = 0; i < kDigestSize; ++i) {
    const std::size_t at = data.Physical(digest.Position + i);
    image[at] = renewed[i];
    end = std::max(end, at + 1);
  }
  return end;
}

}  // namespace qm::engine
