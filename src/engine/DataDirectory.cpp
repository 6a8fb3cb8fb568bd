#include "engine/DataDirectory.h"

#include <utility>

namespace velmora {

namespace {

std::string& folderInUse() {
    static std::string folder = "data";
    return folder;
}

std::string pathOf(DataFolder folder) {
    const std::string& root = folderInUse();
    if (root.empty()) {
        return folder.name;
    }
    return root.back() == '/' ? root + folder.name : root + '/' + folder.name;
}

} // namespace

void setDataDirectory(std::string folder) {
    folderInUse() = std::move(folder);
}

const std::string& dataDirectory() {
    return folderInUse();
}

std::string operator+(DataFolder folder, const std::string& file) {
    return pathOf(folder) + file;
}

std::ostream& operator<<(std::ostream& out, DataFolder folder) {
    return out << pathOf(folder);
}

} // namespace velmora
