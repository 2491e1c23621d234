// TI-TXT images: a refused text leaves nothing behind; an accepted one fits
// every block into one frame, holds no odd start and no overlap.
#include <algorithm>
#include <vector>

#include "loaders/BslImage.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = AsText(data, size);
  for (const BslImageLimits& limits : {kFirmwareImageLimits, kPatchImageLimits}) {
    BslImage image;
    const BslImageResult r = ReadBslImage(text, limits, image);
    if (!r.ok()) {
      FUZZ_CHECK(image.blocks.empty() && r.lastBlock == -1);
      (void)BslImageFaultText(r, "fw.txt", 0);
      continue;
    }
    FUZZ_CHECK(r.lastBlock == image.LastBlock());
    FUZZ_CHECK(image.blocks.size() <= limits.maxBlocks);
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const BslBlock& b : image.blocks) {
      FUZZ_CHECK(b.DataLength() > 0 && b.DataLength() <= BslBlock::kMaxData);
      FUZZ_CHECK(b.DataLength() % 2 == 0 && b.address % 2 == 0);
      ranges.emplace_back(b.FullAddress(), b.FullAddress() + static_cast<uint32_t>(b.DataLength()));
    }
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i)
      FUZZ_CHECK(ranges[i].first >= ranges[i - 1].second);
    if (limits.firmware) FUZZ_CHECK(ResetVector(image) >= 0);
  }
  return 0;
}
