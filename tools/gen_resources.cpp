// tessaro-gen-resources OUTDIR
//
// Draws every bitmap and icon of the plug-in module and writes them under
// OUTDIR with the names the resource script uses (bitmaps/..., icons/...).
// The output depends on nothing but this program, so running it again gives
// the same bytes; the committed files under resources/ are its output.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/artwork.h"
#include "tools/image_files.h"

namespace {

using tessaro::tools::DrawBoardImage;
using tessaro::tools::DrawIconImages;
using tessaro::tools::DrawStoneImage;
using tessaro::tools::EncodeBmp;
using tessaro::tools::EncodeIco;
using tessaro::tools::Icon;
using tessaro::tools::Stone;

struct OutputFile {
  const char* path;  // relative to OUTDIR, as the resource script names it
  std::vector<uint8_t> bytes;
};

std::vector<OutputFile> DrawAll() {
  return {
      {"bitmaps/board156.bmp", EncodeBmp(DrawBoardImage())},
      {"bitmaps/black157.bmp", EncodeBmp(DrawStoneImage(Stone::kBlack))},
      {"bitmaps/white158.bmp", EncodeBmp(DrawStoneImage(Stone::kWhite))},
      {"bitmaps/forbidden163.bmp", EncodeBmp(DrawStoneImage(Stone::kForbidden))},
      {"bitmaps/proposal164.bmp", EncodeBmp(DrawStoneImage(Stone::kProposal))},
      {"bitmaps/lastblack165.bmp", EncodeBmp(DrawStoneImage(Stone::kLastBlack))},
      {"bitmaps/lastwhite166.bmp", EncodeBmp(DrawStoneImage(Stone::kLastWhite))},
      {"bitmaps/simwhite167.bmp", EncodeBmp(DrawStoneImage(Stone::kSimWhite))},
      {"bitmaps/lastsimwhite168.bmp", EncodeBmp(DrawStoneImage(Stone::kLastSimWhite))},
      {"icons/icon128.ico", EncodeIco(DrawIconImages(Icon::kPlugin))},
      {"icons/noside160.ico", EncodeIco(DrawIconImages(Icon::kNoSide))},
      {"icons/black161.ico", EncodeIco(DrawIconImages(Icon::kBlack))},
      {"icons/white162.ico", EncodeIco(DrawIconImages(Icon::kWhite))},
  };
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) {
    std::fprintf(stderr, "cannot create %s: %s\n", path.parent_path().c_str(),
                 error.message().c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: tessaro-gen-resources OUTDIR\n");
    return 2;
  }
  const std::filesystem::path outDir = argv[1];
  for (const OutputFile& file : DrawAll()) {
    if (!WriteFile(outDir / file.path, file.bytes)) return 1;
  }
  return 0;
}
