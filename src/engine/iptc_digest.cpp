#include "engine/iptc_digest.h"

#if defined(_WIN32)
#include <windows.h>
#include <bcrypt.h>
#else
#include <nettle/md5.h>
#endif

#include <array>

namespace qm::engine {
namespace {

constexpr std::uint16_t kIptcDigestNumber = 0x0425;
constexpr std::size_t kDigestSize = 16;  // MD5

struct Resource {
  std::size_t Start = 0;  // position of its signature
  std::uint16_t Number = 0;
  std::size_t Data = 0;  // position of its data
  std::size_t Size = 0;
  std::size_t Next = 0;  // position of the next resource: the data is padded to an even size
};

// The resource whose "8BIM" signature is at `at`: signature, number, name (length byte and characters, padded
// to an even size), 4-byte size, data. Nothing when it is no resource or runs past the end of the data.
std::optional<Resource> ReadResource(BlockData& data, std::size_t at) {
  const std::size_t total = data.size();
  if (at > total || total - at < 7) return std::nullopt;
  if (data[at] != '8' || data[at + 1] != 'B' || data[at + 2] != 'I' || data[at + 3] != 'M')
    return std::nullopt;
  const std::size_t size_at = at + 6 + ((data[at + 6] + 2u) & ~1u);
  if (size_at > total || total - size_at < 4) return std::nullopt;
  Resource resource;
  resource.Start = at;
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

// The digest of the IPTC data, with the padding byte of data of an odd size or without. The padding byte
// lies before the next resource, so within the data. Nothing where the system gives no MD5.
std::optional<Digest> Md5(BlockData& data, const Resource& iptc, bool with_padding) {
  const auto bytes = data.Bytes(iptc.Data, iptc.Data + iptc.Size + with_padding);
  Digest digest{};
#if defined(_WIN32)
  // Windows' own cryptography (CNG).
  static const BCRYPT_ALG_HANDLE md5 = [] {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0)) ? algorithm
                                                                                                        : nullptr;
  }();
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (md5 == nullptr || !BCRYPT_SUCCESS(::BCryptCreateHash(md5, &hash, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  const bool done =
      BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0)) &&
      BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  ::BCryptDestroyHash(hash);
  if (!done) return std::nullopt;
#else
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), bytes.data());
  md5_digest(&context, digest.size(), digest.data());
#endif
  return digest;
}

// Whether the resource list read from position 0 comes to a resource at `position`; each step moves on by a
// whole resource, at least 12 bytes.
bool Listed(BlockData& data, std::size_t position) {
  auto resource = ReadResource(data, 0);
  while (resource && resource->Start < position) resource = ReadResource(data, resource->Next);
  return resource && resource->Start == position;
}

}  // namespace

std::optional<IptcDigest> FindCurrentIptcDigest(BlockData& data) {
  const auto iptc = ReadResource(data, data.Origin());
  if (!iptc) return std::nullopt;
  const std::size_t first = data.Origin() > 0 && Listed(data, data.Origin()) ? 0 : data.Origin();
  std::optional<Resource> digest;
  for (auto resource = ReadResource(data, first); resource && !digest;
       resource = ReadResource(data, resource->Next)) {
    if (resource->Number == kIptcDigestNumber) digest = resource;
  }
  if (!digest || digest->Size != kDigestSize) return std::nullopt;
  Digest stored;
  for (std::size_t i = 0; i < kDigestSize; ++i) stored[i] = data[digest->Data + i];
  for (const bool with_padding : {false, true}) {
    if (with_padding && iptc->Size % 2 == 0) break;
    if (Md5(data, *iptc, with_padding) == stored) return IptcDigest{digest->Data, with_padding};
  }
  return std::nullopt;
}

void RenewIptcDigest(BlockData& data, const IptcDigest& digest) {
  const auto iptc = ReadResource(data, data.Origin());
  if (!iptc || digest.Position > data.size() || data.size() - digest.Position < kDigestSize) return;
  const std::optional<Digest> renewed = Md5(data, *iptc, digest.WithPadding);
  if (!renewed) return;
  for (std::size_t i = 0; i < kDigestSize; ++i) data.Set(digest.Position + i, (*renewed)[i]);
}

}  // namespace qm::engine
