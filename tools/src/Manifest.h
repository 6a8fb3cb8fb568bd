// The list of the atlas's pictures: one line "name source.png width height"
// each, in the order the atlas description lists them, where width and
// height are the picture's size on the 1024x768 reference screen; blank
// lines and lines starting with '#' are skipped. Source paths are relative
// to the list's directory.
#pragma once

#include <string>
#include <vector>

struct ManifestItem {
    std::string name;
    std::string sourcePath;
    int screenWidth = 0;
    int screenHeight = 0;
};

// Returns false with a message in error when the list cannot be read or a
// line lacks a field.
bool readManifest(const std::string& path, std::vector<ManifestItem>& items, std::string& error);
