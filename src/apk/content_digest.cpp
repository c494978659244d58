#include "apk/content_digest.h"

#include <openssl/evp.h>

#include <memory>
#include <thread>
#include <vector>

#include "apk/chunk.h"

namespace velmora::apk {
namespace {

constexpr std::uint64_t kChunkSize = 1u << 20;
// Below this many chunks for each thread, starting one costs more than it saves.
constexpr std::size_t kChunksWorthASecondThread = 4;

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

const EVP_MD* Algorithm(ChunkedDigest algorithm) {
  return algorithm == ChunkedDigest::kSha512 ? EVP_sha512() : EVP_sha256();
}

// Digests one chunk the way the scheme does: a 0xa5 byte, the chunk's length
// in four bytes, the chunk.
void AppendChunkDigest(EVP_MD_CTX* context, const EVP_MD* md, std::string_view chunk,
                       std::string& digests) {
  std::string prefix(1, '\xa5');
  AppendU32(prefix, static_cast<std::uint32_t>(chunk.size()));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestInit_ex(context, md, nullptr);
  EVP_DigestUpdate(context, prefix.data(), prefix.size());
  EVP_DigestUpdate(context, chunk.data(), chunk.size());
  EVP_DigestFinal_ex(context, digest, &length);
  digests.append(reinterpret_cast<char*>(digest), length);
}

}  // namespace

Parsed<std::string> ContentDigests::Of(ChunkedDigest algorithm) {
  if (auto known = computed_.find(algorithm); known != computed_.end()) return known->second;
  const EVP_MD* md = Algorithm(algorithm);
  // The entries, then the central directory, in chunks.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> fileChunks;
  const std::pair<std::uint64_t, std::uint64_t> fileSections[] = {
      {0, signingBlockOffset_}, {sections_.centralDirectoryOffset, sections_.centralDirectorySize}};
  for (const auto& [start, size] : fileSections) {
    for (std::uint64_t done = 0; done < size; done += kChunkSize) {
      fileChunks.emplace_back(start + done, std::min(kChunkSize, size - done));
    }
  }
  // Each chunk's digest stands alone, so the second half of them is hashed
  // on a second core while this thread hashes the first.
  std::vector<std::string> digests(fileChunks.size());
  auto digestRange = [&](std::size_t begin, std::size_t end) {
    DigestContext context(EVP_MD_CTX_new());
    std::string chunk;
    for (std::size_t i = begin; i < end; ++i) {
      if (!archive_.Read(fileChunks[i].first, fileChunks[i].second, chunk)) return false;
      AppendChunkDigest(context.get(), md, chunk, digests[i]);
    }
    return true;
  };
  const std::size_t half = fileChunks.size() / 2;
  bool secondRead = true;
  std::thread second;
  if (half >= kChunksWorthASecondThread) {
    second = std::thread([&] { secondRead = digestRange(half, fileChunks.size()); });
  }
  const bool firstRead = digestRange(0, second.joinable() ? half : fileChunks.size());
  if (second.joinable()) second.join();
  if (!firstRead || !secondRead) return FormatError{"读取 APK 内容时出错"};

  DigestContext context(EVP_MD_CTX_new());
  std::string chunkDigests;
  for (const std::string& digest : digests) chunkDigests += digest;
  std::uint32_t chunks = static_cast<std::uint32_t>(fileChunks.size());
  std::string record = sections_.endOfCentralDirectory;
  PutU32(record, kCentralDirectoryOffsetField, static_cast<std::uint32_t>(signingBlockOffset_));
  for (std::size_t done = 0; done < record.size(); done += kChunkSize, ++chunks) {
    AppendChunkDigest(context.get(), md, std::string_view(record).substr(done, kChunkSize),
                      chunkDigests);
  }
  std::string prefix(1, '\x5a');
  AppendU32(prefix, chunks);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestInit_ex(context.get(), md, nullptr);
  EVP_DigestUpdate(context.get(), prefix.data(), prefix.size());
  EVP_DigestUpdate(context.get(), chunkDigests.data(), chunkDigests.size());
  EVP_DigestFinal_ex(context.get(), digest, &length);
  return computed_[algorithm] = std::string(reinterpret_cast<char*>(digest), length);
}

}  // namespace velmora::apk
