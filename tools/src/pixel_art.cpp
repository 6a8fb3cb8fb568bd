// Turns a picture drawn as text into a PNG file, one character a pixel:
//
//   pixel_art IN.txt OUT.png
//
// IN.txt holds a palette, then the picture. A palette line is a character,
// a space and a colour as RRGGBB or RRGGBBAA in hexadecimal; the picture
// follows a line that reads "picture", one row a line, top row first, every
// row as long as the first. A character not in the palette is transparent.
// Lines starting with '#' are comments.
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

bool parseColour(const std::string& hex, std::vector<unsigned char>& rgba) {
    if (hex.size() != 6 && hex.size() != 8) {
        return false;
    }
    rgba.assign(4, 255);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = hex.substr(i, 2);
        const long value = std::strtol(pair.c_str(), &end, 16);
        if (*end != '\0') {
            return false;
        }
        rgba[i / 2] = static_cast<unsigned char>(value);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: pixel_art IN.txt OUT.png" << std::endl;
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "pixel_art: cannot read " << argv[1] << std::endl;
        return 1;
    }
    std::map<char, std::vector<unsigned char>> palette;
    std::vector<std::string> rows;
    bool inPicture = false;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!inPicture && (line.empty() || line[0] == '#')) {
            continue;
        }
        if (!inPicture && line == "picture") {
            inPicture = true;
        } else if (inPicture) {
            rows.push_back(line);
        } else if (line.size() < 3 || line[1] != ' ' ||
                   !parseColour(line.substr(2), palette[line[0]])) {
            std::cerr << argv[1] << ":" << number << ": not a palette line: " << line << std::endl;
            return 1;
        }
    }
    if (rows.empty() || rows[0].empty()) {
        std::cerr << argv[1] << ": no picture" << std::endl;
        return 1;
    }
    const std::size_t width = rows[0].size();
    std::vector<unsigned char> pixels;
    for (const std::string& row : rows) {
        if (row.size() != width) {
            std::cerr << argv[1] << ": rows of different lengths" << std::endl;
            return 1;
        }
        for (const char c : row) {
            const auto colour = palette.find(c);
            const std::vector<unsigned char> none(4, 0);
            const std::vector<unsigned char>& rgba = colour != palette.end() ? colour->second : none;
            pixels.insert(pixels.end(), rgba.begin(), rgba.end());
        }
    }
    if (stbi_write_png(argv[2], static_cast<int>(width), static_cast<int>(rows.size()), 4,
                       pixels.data(), static_cast<int>(width) * 4) == 0) {
        std::cerr << "pixel_art: cannot write " << argv[2] << std::endl;
        return 1;
    }
    return 0;
}
