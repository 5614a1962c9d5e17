// Lays screenshots out on one downscaled sheet, each labelled with its file name.
//   contact_sheet OUT.png COLUMNS CELL_WIDTH IMAGE.png...

#include <stb_easy_font.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kLabelHeight = 18;
constexpr int kGap = 4;

struct Sheet {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  void fill(int x0, int y0, int x1, int y1, unsigned char value) {
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, width); ++x)
        for (int c = 0; c < 3; ++c) rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] = value;
  }
};

// Box-filters the image into a cell of `cellWidth` × `cellHeight` at (left, top).
void drawDownscaled(Sheet& sheet, const unsigned char* image, int width, int height, int left, int top, int cellWidth,
                    int cellHeight) {
  for (int y = 0; y < cellHeight; ++y) {
    const int sy0 = y * height / cellHeight, sy1 = std::max(sy0 + 1, (y + 1) * height / cellHeight);
    for (int x = 0; x < cellWidth; ++x) {
      const int sx0 = x * width / cellWidth, sx1 = std::max(sx0 + 1, (x + 1) * width / cellWidth);
      for (int c = 0; c < 3; ++c) {
        long sum = 0;
        for (int sy = sy0; sy < sy1; ++sy)
          for (int sx = sx0; sx < sx1; ++sx) sum += image[(static_cast<std::size_t>(sy) * width + sx) * 3 + c];
        const long count = static_cast<long>(sy1 - sy0) * (sx1 - sx0);
        sheet.rgb[(static_cast<std::size_t>(top + y) * sheet.width + left + x) * 3 + c] =
            static_cast<unsigned char>(sum / count);
      }
    }
  }
}

// White text from stb_easy_font's quads, drawn at twice its size.
void drawLabel(Sheet& sheet, const std::string& text, int left, int top) {
  static char buffer[60000];
  const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, buffer, sizeof buffer);
  const float* vertices = reinterpret_cast<const float*>(buffer);
  for (int q = 0; q < quads; ++q) {
    const float* v = vertices + q * 16;  // four vertices of x, y, z, colour
    const int x0 = static_cast<int>(v[0]) * 2 + left, y0 = static_cast<int>(v[1]) * 2 + top;
    const int x1 = static_cast<int>(v[8]) * 2 + left, y1 = static_cast<int>(v[9]) * 2 + top;
    sheet.fill(x0, y0, x1, y1, 255);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: contact_sheet OUT.png COLUMNS CELL_WIDTH IMAGE.png...\n");
    return 2;
  }
  const int columns = std::max(1, std::atoi(argv[2]));
  const int cellWidth = std::max(16, std::atoi(argv[3]));
  const int cellHeight = cellWidth * 9 / 16;
  const int images = argc - 4;
  const int rows = (images + columns - 1) / columns;
  Sheet sheet;
  sheet.width = columns * (cellWidth + kGap) + kGap;
  sheet.height = rows * (cellHeight + kLabelHeight + kGap) + kGap;
  sheet.rgb.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 3, 24);
  for (int i = 0; i < images; ++i) {
    int width = 0, height = 0, channels = 0;
    unsigned char* image = stbi_load(argv[4 + i], &width, &height, &channels, 3);
    const int left = kGap + (i % columns) * (cellWidth + kGap);
    const int top = kGap + (i / columns) * (cellHeight + kLabelHeight + kGap);
    if (!image) {
      std::fprintf(stderr, "contact_sheet: cannot read %s\n", argv[4 + i]);
      return 1;
    }
    drawDownscaled(sheet, image, width, height, left, top + kLabelHeight, cellWidth, cellHeight);
    stbi_image_free(image);
    drawLabel(sheet, std::filesystem::path(argv[4 + i]).stem().string(), left + 2, top + 2);
  }
  if (!stbi_write_png(argv[1], sheet.width, sheet.height, 3, sheet.rgb.data(), sheet.width * 3)) {
    std::fprintf(stderr, "contact_sheet: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
