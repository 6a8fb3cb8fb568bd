// The list of the atlas's pictures: one line "name source.png" each, in the
// order the atlas description lists them; blank lines and lines starting
// with '#' are skipped. Source paths are relative to the list's directory.
#pragma once

#include <string>
#include <vector>

struct ManifestItem {
    std::string name;
    std::string sourcePath;
};

// Returns false with a message in error when the list cannot be read or a
// line lacks its two fields.
bool readManifest(const std::string& path, std::vector<ManifestItem>& items, std::string& error);
