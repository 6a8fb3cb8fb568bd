// Atlas: one texture and the named pictures cut from it, each with its size
// in texels and its place in the texture. Sprite batches draw its pictures;
// several batches may share one atlas (SpriteBatch::setAtlas).
//
// An atlas comes from one of two sources:
//   - a pre-packed atlas, an image with a description of its pictures
//     ("data/textures/NAME.png" and "NAME.txt", one picture a line:
//     `name left top width height` in fractions of the image);
//   - separate PNG files, packed into one texture when they are loaded.
//
//     Atlas atlas;
//     atlas.loadPictures({"pictures/paddle.png", "bricks"}); // files, folders
//     const int ball = atlas.find("ball.png");                   // -1 if none
//     const Vec2 size = atlas.pictureSize(ball);                 // 24 × 24 texels
//
// Packed pictures keep their own size in texels. Each is surrounded by a
// gutter of one texel that repeats its edge, and the texture clamps to its
// edge, so linear filtering at any position, scale or angle never blends a
// neighbouring picture or the opposite edge into a picture's border.
//
// Loading again replaces the pictures and the texture; the batches that
// draw from the atlas follow (SpriteBatch::setAtlas).
//
// Ownership: a packed atlas owns its texture and deletes it when destroyed
// (if a context is still current); it is move-only. A pre-packed atlas takes
// its texture from the texture registry (Texture.h), which keeps it for the
// life of the process, shared with the sprites cut from the same atlas.
// Loading needs a current OpenGL context; an empty atlas does not.
#pragma once

#include "velmora/Math.h"
#include "velmora/Texture.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct AtlasPicture;

class Atlas {
  public:
    // An empty atlas: no texture, no pictures.
    Atlas();
    ~Atlas();
    // The moved-from atlas is left empty.
    Atlas(Atlas&& other) noexcept;
    Atlas& operator=(Atlas&& other) noexcept;
    Atlas(const Atlas&) = delete;
    Atlas& operator=(const Atlas&) = delete;

    // Reads the pre-packed atlas `atlasName`: its description
    // "data/textures/" + atlasName + ".txt" ("data" being the settings'
    // dataDirectory) and its image atlasName + ".png", loaded unless the
    // texture registry already holds it. Lines that do not parse, and lines
    // whose rectangle is not inside the image (sizes in texels, negative or
    // huge numbers), are reported on standard error ("Error parsing line:
    // ...") and skipped. False, after "Failed to open the file:
    // \"<path>\"" on standard error, when the description cannot be opened;
    // the atlas is then unchanged. An image that fails to load is reported by
    // Texture::load and leaves pictures of size 0 × 0.
    bool load(const std::string& atlasName);

    // Packs PNG files into one new texture. Each entry of `paths` is a PNG
    // file or a folder, whose files ending in ".png" are taken in name order
    // (not its subfolders). Relative paths are read inside "data/" (the
    // settings' dataDirectory, see Application.h), where every loader reads.
    // A picture is named by its file name, without the
    // folder ("bricks/red.png" is "red.png").
    //
    // A file that cannot be read as an image (a misspelt path among them)
    // is reported on standard output ("Failed to load texture <path>") and
    // left out, and so is a second file of a name already taken (on
    // standard error, "Picture name taken twice: <path>"); a folder without
    // PNG files is reported too ("No pictures in the folder <path>"). False,
    // with the atlas unchanged, when no picture at all could be loaded, and
    // when the pictures cannot fit into the largest texture the driver
    // allows (one line on standard error names the sizes). True otherwise,
    // even when files were left out.
    bool loadPictures(const std::vector<std::string>& paths);

    // The picture named exactly `name` ("star.png" is not "bigstar.png"), or
    // -1 when the atlas has none.
    int find(const std::string& name) const;

    // Pictures, numbered from 0: in description order for a pre-packed
    // atlas, in the order of `paths` (folders in name order) when packed.
    std::size_t size() const;

    // The picture's name, or "" for an unknown picture.
    const std::string& name(int picture) const;

    // The picture's size in texels, or 0 × 0 for an unknown picture or an
    // image that failed to load. A pre-packed picture's rectangle, given in
    // rounded fractions, counts in whole texels when it lies within a
    // hundredth of a texel of them.
    Vec2 pictureSize(int picture) const;

    // The texture coordinates of the picture's left, bottom, right and top
    // edges (the texture holds the image's top row at v = 0, so bottom > top
    // and a quad with these corners shows the picture upright), for
    // SpriteBatch::addQuad. Zeros for an unknown picture.
    Rect texCoords(int picture) const;

    // The texture the pictures are cut from; null for an empty atlas. It
    // belongs to the atlas (packed) or to the texture registry (pre-packed).
    Texture* texture() const;

    // Linear (the default) or nearest filtering (Texture::setFilter) for the
    // atlas's texture now and for the texture of every later load. A
    // pre-packed atlas shares its texture with the texture registry, so the
    // filter holds for every atlas and sprite cut from the same image; a
    // pre-packed atlas never given a filter leaves the shared texture's as
    // it finds it.
    void setFilter(Filter filter);
    // The filter its pictures are drawn with: its texture's (Texture::filter),
    // or without one the filter that the next load gives it.
    Filter filter() const;

  private:
    friend class SpriteBatch;
    friend class Canvas;
    struct Storage;

    // Makes the atlas one picture named `name`, width × height texels at
    // `uv` of `texture`, which it neither owns nor reads (no tight mesh);
    // a null texture empties the atlas. What a canvas shows itself with.
    void showWhole(Texture* texture, int width, int height, const Rect& uv, const char* name);

    // The picture's drawing data, or null for an unknown picture.
    const AtlasPicture* picture(int picture) const;

    std::unique_ptr<Storage> storage;
    Filter filtering = Filter::Linear;
    bool filterChosen = false; // setFilter was called
};

} // namespace velmora
