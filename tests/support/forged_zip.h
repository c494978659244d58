#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "apk/zip_archive.h"

namespace velmora::test {

// One entry of a forged archive. Its data is `bytes`, then `zeros` zero bytes,
// then the contents of `file`; its headers record the data's true size and
// CRC unless told to lie.
struct ForgedEntry {
  std::string name{};  // any bytes, a NUL or a "../" too
  std::string bytes{};
  std::uint64_t zeros = 0;
  std::string file{};
  int method = 8;  // 0 stored, 8 deflated
  std::optional<std::uint64_t> recordedSize{};
  std::optional<std::uint32_t> recordedCrc{};
};

// Writes a ZIP archive byte by byte, so that a test can make it as a hostile
// one is made, which no ZIP library does: names of any bytes, recorded sizes
// and CRCs that lie, sizes past 4 GB (ZIP64). Data streams through zlib and is
// never held whole; stored zeros are left as a hole, so a large stored entry
// costs no disk.
class ForgedZip {
 public:
  static void Write(const std::string& path, const std::vector<ForgedEntry>& entries) {
    ForgedZip zip(path);
    for (const ForgedEntry& entry : entries) zip.Add(entry);
    zip.Finish();
  }

  // The entries of a real archive as they are, to forge a variant of it.
  static std::vector<ForgedEntry> EntriesOf(const std::string& path) {
    auto opened = apk::ZipReader::OpenFile(path, path);
    const auto& reader = std::get<apk::ZipReader>(opened);
    std::vector<ForgedEntry> entries;
    for (const apk::ZipEntry& entry : reader.Entries()) {
      entries.push_back({.name = entry.name,
                         .bytes = std::get<std::string>(reader.Read(entry, 1 << 30)),
                         .method = entry.method});
    }
    return entries;
  }

 private:
  struct Written {
    std::string name;
    int method;
    std::uint32_t crc;
    std::uint64_t compressed;
    std::uint64_t size;
    std::uint64_t offset;
    bool zip64;  // decided before the data is written: the header keeps its size
  };

  explicit ForgedZip(const std::string& path) : out_(path, std::ios::binary | std::ios::trunc) {
    if (!out_) throw std::runtime_error("cannot write " + path);
  }

  template <typename T>
  static void Put(std::string& to, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) to.push_back(static_cast<char>(value >> (8 * i)));
  }

  // The header fields from the CRC on: CRC, both sizes (0xffffffff and a
  // ZIP64 field when they are too large), the name's and extra field's
  // lengths; then the name and the extra field.
  static std::string SizedHeaderEnd(const Written& entry, std::string& extra) {
    const bool zip64 = entry.zip64;
    if (zip64) {
      Put<std::uint16_t>(extra, 1);
      Put<std::uint16_t>(extra, 16);
      Put<std::uint64_t>(extra, entry.size);
      Put<std::uint64_t>(extra, entry.compressed);
    }
    std::string fields;
    Put<std::uint32_t>(fields, entry.crc);
    Put<std::uint32_t>(fields, zip64 ? 0xffffffff : static_cast<std::uint32_t>(entry.compressed));
    Put<std::uint32_t>(fields, zip64 ? 0xffffffff : static_cast<std::uint32_t>(entry.size));
    Put<std::uint16_t>(fields, static_cast<std::uint16_t>(entry.name.size()));
    Put<std::uint16_t>(fields, static_cast<std::uint16_t>(extra.size()));
    return fields;
  }

  static std::string LocalHeader(const Written& entry) {
    std::string header("PK\x03\x04", 4), extra;
    Put<std::uint16_t>(header, 45);
    Put<std::uint16_t>(header, 0);
    Put<std::uint16_t>(header, static_cast<std::uint16_t>(entry.method));
    Put<std::uint32_t>(header, 0x00210000);  // 1 January 1980
    header += SizedHeaderEnd(entry, extra);
    return header + entry.name + extra;
  }

  static std::string CentralHeader(const Written& entry) {
    std::string header("PK\x01\x02", 4), extra;
    Put<std::uint16_t>(header, 45);
    Put<std::uint16_t>(header, 45);
    Put<std::uint16_t>(header, 0);
    Put<std::uint16_t>(header, static_cast<std::uint16_t>(entry.method));
    Put<std::uint32_t>(header, 0x00210000);
    header += SizedHeaderEnd(entry, extra);
    Put<std::uint16_t>(header, 0);  // comment
    Put<std::uint16_t>(header, 0);  // disk
    Put<std::uint16_t>(header, 0);  // internal attributes
    Put<std::uint32_t>(header, 0100644u << 16);
    Put<std::uint32_t>(header, static_cast<std::uint32_t>(entry.offset));
    return header + entry.name + extra;
  }

  // Feeds the entry's data, a piece at a time, to `take`.
  template <typename Take>
  static void EachPiece(const ForgedEntry& entry, Take take) {
    take(entry.bytes.data(), entry.bytes.size(), false);
    const std::string zeros(1 << 20, '\0');
    for (std::uint64_t left = entry.zeros; left > 0;) {
      const std::size_t piece = left < zeros.size() ? left : zeros.size();
      take(zeros.data(), piece, true);
      left -= piece;
    }
    if (entry.file.empty()) return;
    std::ifstream in(entry.file, std::ios::binary);
    std::string buffer(1 << 20, '\0');
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
      take(buffer.data(), static_cast<std::size_t>(in.gcount()), false);
    }
  }

  void Add(const ForgedEntry& entry) {
    const std::uint64_t largest = std::max<std::uint64_t>(
        entry.recordedSize.value_or(0),
        entry.bytes.size() + entry.zeros +
            (entry.file.empty() ? 0 : std::filesystem::file_size(entry.file)));
    Written written{
        entry.name,           entry.method, 0, 0, 0, static_cast<std::uint64_t>(out_.tellp()),
        largest >= 0xffffffff};
    const std::string placeholder = LocalHeader(written);
    out_.write(placeholder.data(), static_cast<std::streamsize>(placeholder.size()));
    const auto dataStart = static_cast<std::uint64_t>(out_.tellp());
    uLong crc = crc32(0, nullptr, 0);
    z_stream deflater{};
    if (entry.method == 8) deflateInit2(&deflater, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string compressed(1 << 16, '\0');
    auto deflateSome = [&](const char* data, std::size_t size, int flush) {
      deflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
      deflater.avail_in = static_cast<uInt>(size);
      do {
        deflater.next_out = reinterpret_cast<Bytef*>(compressed.data());
        deflater.avail_out = static_cast<uInt>(compressed.size());
        deflate(&deflater, flush);
        out_.write(compressed.data(),
                   static_cast<std::streamsize>(compressed.size() - deflater.avail_out));
      } while (deflater.avail_out == 0);
    };
    EachPiece(entry, [&](const char* data, std::size_t size, bool zeros) {
      crc = crc32_z(crc, reinterpret_cast<const Bytef*>(data), size);
      written.size += size;
      if (entry.method == 8) {
        deflateSome(data, size, Z_NO_FLUSH);
      } else if (zeros) {
        out_.seekp(static_cast<std::streamoff>(size), std::ios::cur);
      } else {
        out_.write(data, static_cast<std::streamsize>(size));
      }
    });
    if (entry.method == 8) {
      deflateSome(nullptr, 0, Z_FINISH);
      deflateEnd(&deflater);
    }
    const auto dataEnd = static_cast<std::uint64_t>(out_.tellp());
    written.compressed = dataEnd - dataStart;
    written.crc = entry.recordedCrc.value_or(static_cast<std::uint32_t>(crc));
    written.size = entry.recordedSize.value_or(written.size);
    const std::string header = LocalHeader(written);
    if (header.size() != placeholder.size()) throw std::runtime_error("forged header grew");
    out_.seekp(static_cast<std::streamoff>(written.offset));
    out_.write(header.data(), static_cast<std::streamsize>(header.size()));
    out_.seekp(static_cast<std::streamoff>(dataEnd));
    written_.push_back(std::move(written));
  }

  void Finish() {
    const auto directoryStart = static_cast<std::uint64_t>(out_.tellp());
    for (const Written& entry : written_) {
      const std::string header = CentralHeader(entry);
      out_.write(header.data(), static_cast<std::streamsize>(header.size()));
    }
    const auto directoryEnd = static_cast<std::uint64_t>(out_.tellp());
    std::string end("PK\x05\x06", 4);
    Put<std::uint32_t>(end, 0);  // this disk, the directory's disk
    Put<std::uint16_t>(end, static_cast<std::uint16_t>(written_.size()));
    Put<std::uint16_t>(end, static_cast<std::uint16_t>(written_.size()));
    Put<std::uint32_t>(end, static_cast<std::uint32_t>(directoryEnd - directoryStart));
    Put<std::uint32_t>(end, static_cast<std::uint32_t>(directoryStart));
    Put<std::uint16_t>(end, 0);
    out_.write(end.data(), static_cast<std::streamsize>(end.size()));
    out_.close();
    if (!out_) throw std::runtime_error("cannot finish the forged archive");
  }

  std::ofstream out_;
  std::vector<Written> written_;
};

}  // namespace velmora::test
