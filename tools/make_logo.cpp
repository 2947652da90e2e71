// Generates res/logo.png: "VELDRASKON" in a bold 5 x 7 pixel face between two rules, opaque pure
// white on fully transparent, 227 x 62 pixels, 8-bit RGBA.
// Usage: make_logo <output.png>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kWidth = 227;
constexpr int kHeight = 62;

// Each glyph cell becomes a block of kCellW x kCellH pixels; ten glyphs with kGapPx between them
// fill the width exactly: 10 * 5 * 4 + 9 * 3 = 227.
constexpr int kGlyphCols = 5;
constexpr int kGlyphRows = 7;
constexpr int kCellW = 4;
constexpr int kCellH = 6;
constexpr int kGapPx = 3;
constexpr int kRulePx = 3;
constexpr int kTextTop = 10;  // 3 rule + 7 gap above, 7 gap + 3 rule below the 42-pixel text

struct Glyph {
    char letter;
    std::array<std::string_view, kGlyphRows> rows;
};

constexpr Glyph kGlyphs[] = {
    {'V', {"X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."}},
    {'E', {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"}},
    {'L', {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"}},
    {'D', {"XXXX.", "X...X", "X...X", "X...X", "X...X", "X...X", "XXXX."}},
    {'R', {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"}},
    {'A', {".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"}},
    {'S', {".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."}},
    {'K', {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"}},
    {'O', {".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."}},
    {'N', {"X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"}},
};

const Glyph* FindGlyph(char letter) {
    for (const Glyph& g : kGlyphs)
        if (g.letter == letter) return &g;
    return nullptr;
}

// Coverage mask, one byte per pixel: 1 = white, 0 = transparent.
using Mask = std::vector<uint8_t>;

void FillRect(Mask& mask, int left, int top, int width, int height) {
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) mask[static_cast<size_t>(y * kWidth + x)] = 1;
}

bool DrawText(Mask& mask, std::string_view text) {
    int left = 0;
    for (char c : text) {
        const Glyph* g = FindGlyph(c);
        if (!g) return false;
        for (int row = 0; row < kGlyphRows; ++row)
            for (int col = 0; col < kGlyphCols; ++col)
                if (g->rows[static_cast<size_t>(row)][static_cast<size_t>(col)] == 'X')
                    FillRect(mask, left + col * kCellW, kTextTop + row * kCellH, kCellW, kCellH);
        left += kGlyphCols * kCellW + kGapPx;
    }
    return true;
}

void PutU32Be(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    PutU32Be(png, static_cast<uint32_t>(data.size()));
    const size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, png.data() + typeAt, static_cast<uInt>(4 + data.size()));
    PutU32Be(png, static_cast<uint32_t>(crc));
}

// Each scanline: filter byte 0 (none), then RGBA; white where the mask is set, else all zero.
std::vector<uint8_t> Scanlines(const Mask& mask) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(kHeight * (1 + kWidth * 4)));
    for (int y = 0; y < kHeight; ++y) {
        raw.push_back(0);
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t v = mask[static_cast<size_t>(y * kWidth + x)] ? 0xFF : 0x00;
            raw.insert(raw.end(), {v, v, v, v});
        }
    }
    return raw;
}

bool EncodePng(const Mask& mask, std::vector<uint8_t>& png) {
    const std::vector<uint8_t> raw = Scanlines(mask);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return false;
    packed.resize(packedSize);

    static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.assign(std::begin(kSignature), std::end(kSignature));
    std::vector<uint8_t> header;
    PutU32Be(header, kWidth);
    PutU32Be(header, kHeight);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    Mask mask(static_cast<size_t>(kWidth * kHeight), 0);
    FillRect(mask, 0, 0, kWidth, kRulePx);
    FillRect(mask, 0, kHeight - kRulePx, kWidth, kRulePx);
    std::vector<uint8_t> png;
    if (!DrawText(mask, "VELDRASKON") || !EncodePng(mask, png)) {
        std::fprintf(stderr, "make_logo: cannot build the image\n");
        return 1;
    }
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    if (std::fclose(f) != 0 || !ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
