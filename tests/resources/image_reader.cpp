#include "image_reader.h"

namespace tessaro::testing {

namespace {

std::nullopt_t Fail(std::string& error, const char* why) {
  error = why;
  return std::nullopt;
}

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> data) : data_(data) {}
  bool Has(size_t offset, size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  uint32_t U8(size_t at) const { return data_[at]; }
  uint32_t U16(size_t at) const { return U8(at) | U8(at + 1) << 8; }
  uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }

 private:
  std::span<const uint8_t> data_;
};

// A BITMAPINFOHEADER, palette and pixels starting at `at`. For icons the
// stored height covers the XOR image and the AND mask.
std::optional<Picture> ReadDib(const Bytes& in, size_t at, size_t pixelsAt, bool icon,
                               std::string& error) {
  if (!in.Has(at, 40 + 64)) return Fail(error, "header or palette cut short");
  if (in.U32(at) != 40) return Fail(error, "not a BITMAPINFOHEADER");
  Picture p;
  p.width = static_cast<int32_t>(in.U32(at + 4));
  int32_t storedHeight = static_cast<int32_t>(in.U32(at + 8));
  p.bottomUp = storedHeight > 0;
  if (storedHeight < 0) storedHeight = -storedHeight;
  p.height = icon ? storedHeight / 2 : storedHeight;
  p.bitCount = static_cast<int>(in.U16(at + 14));
  p.compression = in.U32(at + 16);
  p.coloursUsed = in.U32(at + 32);
  if (p.bitCount != 4 || p.compression != 0) return Fail(error, "not 4-bit BI_RGB");
  if (p.width <= 0 || p.height <= 0 || p.width > 4096 || p.height > 4096) {
    return Fail(error, "implausible size");
  }
  for (size_t i = 0; i < 16; ++i) {
    const size_t e = at + 40 + 4 * i;
    p.palette[i] = {static_cast<uint8_t>(in.U8(e + 2)), static_cast<uint8_t>(in.U8(e + 1)),
                    static_cast<uint8_t>(in.U8(e))};
  }
  const size_t w = static_cast<size_t>(p.width);
  const size_t h = static_cast<size_t>(p.height);
  const size_t rowBytes = (w * 4 + 31) / 32 * 4;
  const size_t maskRowBytes = (w + 31) / 32 * 4;
  if (!in.Has(pixelsAt, rowBytes * h + (icon ? maskRowBytes * h : 0))) {
    return Fail(error, "pixels cut short");
  }
  p.indices.resize(w * h);
  if (icon) p.maskBits.resize(w * h);
  for (size_t row = 0; row < h; ++row) {
    const size_t y = p.bottomUp ? h - 1 - row : row;
    for (size_t x = 0; x < w; ++x) {
      const uint32_t byte = in.U8(pixelsAt + row * rowBytes + x / 2);
      p.indices[y * w + x] = static_cast<uint8_t>(x % 2 == 0 ? byte >> 4 : byte & 0xF);
      if (icon) {
        const uint32_t bits = in.U8(pixelsAt + rowBytes * h + row * maskRowBytes + x / 8);
        p.maskBits[y * w + x] = static_cast<uint8_t>((bits >> (7 - x % 8)) & 1);
      }
    }
  }
  return p;
}

}  // namespace

std::optional<Picture> ReadBmp(std::span<const uint8_t> file, std::string& error) {
  const Bytes in(file);
  if (!in.Has(0, 14) || in.U8(0) != 'B' || in.U8(1) != 'M') {
    return Fail(error, "no BM file header");
  }
  if (in.U32(2) != file.size()) return Fail(error, "file size field is wrong");
  return ReadDib(in, 14, in.U32(10), false, error);
}

std::optional<std::vector<IconEntry>> ReadIco(std::span<const uint8_t> file, std::string& error) {
  const Bytes in(file);
  if (!in.Has(0, 6) || in.U16(0) != 0 || in.U16(2) != 1) {
    return Fail(error, "no icon directory");
  }
  const size_t count = in.U16(4);
  std::vector<IconEntry> entries;
  for (size_t i = 0; i < count; ++i) {
    const size_t e = 6 + 16 * i;
    if (!in.Has(e, 16)) return Fail(error, "directory cut short");
    IconEntry entry;
    entry.width = static_cast<int>(in.U8(e));
    entry.height = static_cast<int>(in.U8(e + 1));
    entry.colourCount = static_cast<int>(in.U8(e + 2));
    entry.planes = static_cast<int>(in.U16(e + 4));
    entry.bitCount = static_cast<int>(in.U16(e + 6));
    const size_t bytes = in.U32(e + 8);
    const size_t at = in.U32(e + 12);
    if (!in.Has(at, bytes)) return Fail(error, "image outside the file");
    auto picture = ReadDib(Bytes(file.subspan(at, bytes)), 0, 40 + 64, true, error);
    if (!picture) return std::nullopt;
    entry.picture = std::move(*picture);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace tessaro::testing
