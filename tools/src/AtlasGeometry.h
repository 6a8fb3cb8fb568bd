// Geometry of the game's pictures: screen pixels at 1024x768, the model units
// the camera shows, and rectangles of the atlas image in texture units.
//
// The atlas description gives each picture's rectangle in texture units, and
// the engine uses its width and height unchanged as the sprite's size in model
// units. So a picture's share of the atlas image is also its size on screen;
// the atlas's pixel size decides how many texels each picture gets.
#pragma once

#include <string>
#include <vector>

// One line of the atlas description as the tools place it: picture name and
// rectangle in texture units, y measured down from the atlas's top edge. In
// double, unlike the engine's AtlasEntry, so that a placement is rounded only
// once, when it is printed.
struct AtlasPlacement {
    std::string name;
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
    double h = 0.0;
};

class AtlasGeometry {
  public:
    // The reference screen the art is drawn for.
    static constexpr double kScreenWidthPx = 1024.0;
    static constexpr double kScreenHeightPx = 768.0;
    // Model extent of a full-screen picture. The camera shows 1.333 / 4.28 by
    // 1 / 5.23 model units; these rounded values differ from that by less
    // than 0.02 screen pixels and print exactly with six decimals.
    static constexpr double kScreenModelWidth = 0.31145;
    static constexpr double kScreenModelHeight = 0.1912;

    AtlasGeometry(int atlasWidthPx, int atlasHeightPx);

    int atlasWidthPx() const { return atlasWidth; }
    int atlasHeightPx() const { return atlasHeight; }

    // Reference-screen pixels <-> model units.
    static double modelFromScreenX(double px) { return px * kScreenModelWidth / kScreenWidthPx; }
    static double modelFromScreenY(double px) { return px * kScreenModelHeight / kScreenHeightPx; }
    static double screenFromModelX(double m) { return m * kScreenWidthPx / kScreenModelWidth; }
    static double screenFromModelY(double m) { return m * kScreenHeightPx / kScreenModelHeight; }

    // Atlas pixels a picture of the given model size occupies, rounded.
    int atlasPixelsX(double modelWidth) const;
    int atlasPixelsY(double modelHeight) const;

    // The entry for a picture drawn at screenW x screenH reference pixels and
    // stored at atlas pixel (leftPx, topPx). Full-screen pictures keep the
    // exact screen size; smaller ones are snapped to whole atlas pixels so
    // their texels line up with their rectangle.
    AtlasPlacement entryFor(const std::string& name, int screenW, int screenH, int leftPx,
                            int topPx) const;

    // Pixel size a picture drawn at screenW x screenH reference pixels gets in the atlas.
    void atlasSizeFor(int screenW, int screenH, int& widthPx, int& heightPx) const;

    static bool isFullScreen(int screenW, int screenH) {
        return screenW == static_cast<int>(kScreenWidthPx) &&
               screenH == static_cast<int>(kScreenHeightPx);
    }

  private:
    int atlasWidth;
    int atlasHeight;
};

// The atlas description as text and back.
std::string formatAtlasLine(const AtlasPlacement& entry);
// Reads every line with the engine's own line reader; unlike the engine,
// which skips a bad line, returns false if any line does not parse.
bool parseAtlasText(const std::string& text, std::vector<AtlasPlacement>& entries);

// The engine takes the first line whose name answers the requested file
// name (by its own rule). Returns the index of that line, or -1.
int firstMatchingLine(const std::vector<AtlasPlacement>& entries, const std::string& request);

// Problems that would make the game show a wrong or broken picture: a name
// answered by another line, a rectangle outside the atlas, two rectangles
// overlapping. One message per problem; empty when the description is sound.
std::vector<std::string> validateAtlas(const std::vector<AtlasPlacement>& entries, int atlasWidthPx,
                                       int atlasHeightPx);
