// glyphc: turns a readable glyph picture into a Windows bitmap (.bmp) or icon (.ico).
//
// A glyph file is text:
//   # comments
//   bits 4                 colour depth of the bitmap made: 1, 4, 8 or 24
//   color . 808000         a one-character key and its colour as RRGGBB
//   color k 000000
//   transparent .          (icons only) the key drawn as transparent
//   pixels                 then one line per pixel row, top row first,
//   ..kk..                 every line as wide as the first
//
// Usage: glyphc input.glyph output.bmp|output.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Glyph {
    int bits = 24;
    std::map<char, Rgb> colors;
    std::vector<char> keyOrder;
    char transparent = 0;
    std::vector<std::string> rows;
    int Width() const { return rows.empty() ? 0 : static_cast<int>(rows[0].size()); }
    int Height() const { return static_cast<int>(rows.size()); }
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
    throw std::runtime_error(file + ":" + std::to_string(line) + ": " + what);
}

Glyph Parse(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    Glyph g;
    bool inPixels = false;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (inPixels) {
            if (line.empty()) continue;
            for (char c : line)
                if (!g.colors.count(c)) Fail(path, lineNo, std::string("unknown colour key '") + c + "'");
            if (!g.rows.empty() && line.size() != g.rows[0].size()) Fail(path, lineNo, "row width differs");
            g.rows.push_back(line);
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "bits") {
            words >> g.bits;
            if (g.bits != 1 && g.bits != 4 && g.bits != 8 && g.bits != 24) Fail(path, lineNo, "bits must be 1, 4, 8 or 24");
        } else if (word == "color") {
            if (line.size() < 8) Fail(path, lineNo, "color KEY RRGGBB");
            char key = line[6];
            std::string hex;
            std::istringstream(line.substr(7)) >> hex;
            if (hex.size() != 6) Fail(path, lineNo, "colour must be RRGGBB");
            unsigned long v = std::stoul(hex, nullptr, 16);
            g.colors[key] = Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
            g.keyOrder.push_back(key);
        } else if (word == "transparent") {
            if (line.size() < 13) Fail(path, lineNo, "transparent KEY");
            g.transparent = line[12];
        } else if (word == "pixels") {
            inPixels = true;
        } else {
            Fail(path, lineNo, "unknown line: " + line);
        }
    }
    if (g.rows.empty()) throw std::runtime_error(path + ": no pixels");
    if (g.bits < 24 && g.keyOrder.size() > (1u << g.bits)) throw std::runtime_error(path + ": too many colours for the depth");
    return g;
}

void Put16(std::vector<uint8_t>& o, uint32_t v) { o.push_back(uint8_t(v)); o.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& o, uint32_t v) { Put16(o, v & 0xFFFF); Put16(o, v >> 16); }

int RowBytes(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

// BITMAPINFOHEADER, palette and bottom-up pixel rows. heightFactor 2 for icons (XOR + AND).
std::vector<uint8_t> Dib(const Glyph& g, int heightFactor) {
    std::vector<uint8_t> o;
    const int w = g.Width(), h = g.Height();
    const int paletteSize = g.bits < 24 ? (1 << g.bits) : 0;
    Put32(o, 40); Put32(o, uint32_t(w)); Put32(o, uint32_t(h * heightFactor));
    Put16(o, 1); Put16(o, uint16_t(g.bits)); Put32(o, 0);
    Put32(o, uint32_t(RowBytes(w, g.bits) * h)); Put32(o, 3780); Put32(o, 3780);
    Put32(o, uint32_t(paletteSize)); Put32(o, 0);
    std::map<char, int> index;
    for (int i = 0; i < paletteSize; ++i) {
        Rgb c{0, 0, 0};
        if (i < int(g.keyOrder.size())) { c = g.colors.at(g.keyOrder[i]); index[g.keyOrder[i]] = i; }
        o.push_back(c.b); o.push_back(c.g); o.push_back(c.r); o.push_back(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(RowBytes(w, g.bits)), 0);
        for (int x = 0; x < w; ++x) {
            char key = g.rows[size_t(y)][size_t(x)];
            if (g.bits == 24) {
                Rgb c = g.colors.at(key);
                row[size_t(x * 3)] = c.b; row[size_t(x * 3 + 1)] = c.g; row[size_t(x * 3 + 2)] = c.r;
            } else {
                int bitPos = x * g.bits;
                int shift = 8 - g.bits - (bitPos % 8);
                row[size_t(bitPos / 8)] |= uint8_t(index.at(key) << shift);
            }
        }
        o.insert(o.end(), row.begin(), row.end());
    }
    return o;
}

std::vector<uint8_t> Bmp(const Glyph& g) {
    std::vector<uint8_t> dib = Dib(g, 1);
    const int paletteSize = g.bits < 24 ? (1 << g.bits) : 0;
    std::vector<uint8_t> o{'B', 'M'};
    Put32(o, uint32_t(14 + dib.size())); Put32(o, 0); Put32(o, uint32_t(14 + 40 + paletteSize * 4));
    o.insert(o.end(), dib.begin(), dib.end());
    return o;
}

std::vector<uint8_t> Ico(const Glyph& g) {
    std::vector<uint8_t> image = Dib(g, 2);
    const int w = g.Width(), h = g.Height();
    for (int y = h - 1; y >= 0; --y) {  // AND mask: 1 where transparent
        std::vector<uint8_t> row(size_t(RowBytes(w, 1)), 0);
        for (int x = 0; x < w; ++x)
            if (g.rows[size_t(y)][size_t(x)] == g.transparent) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        image.insert(image.end(), row.begin(), row.end());
    }
    std::vector<uint8_t> o;
    Put16(o, 0); Put16(o, 1); Put16(o, 1);
    o.push_back(uint8_t(w)); o.push_back(uint8_t(h));
    o.push_back(uint8_t(g.bits < 8 ? (1 << g.bits) : 0)); o.push_back(0);
    Put16(o, 1); Put16(o, uint16_t(g.bits)); Put32(o, uint32_t(image.size())); Put32(o, 22);
    o.insert(o.end(), image.begin(), image.end());
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: glyphc input.glyph output.bmp|output.ico\n");
        return 2;
    }
    try {
        Glyph g = Parse(argv[1]);
        std::string out = argv[2];
        bool icon = out.size() > 4 && out.substr(out.size() - 4) == ".ico";
        std::vector<uint8_t> bytes = icon ? Ico(g) : Bmp(g);
        std::ofstream f(out, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!f) throw std::runtime_error("cannot write " + out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glyphc: %s\n", e.what());
        return 1;
    }
    return 0;
}
