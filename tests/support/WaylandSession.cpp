#include "support/WaylandSession.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

std::string makeFolder(const char* tag, fs::perms mode) {
    std::string pattern = std::string("/tmp/velmora-") + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return "";
    }
    fs::permissions(pattern, mode);
    return pattern;
}

// Lets every user read the tree, and enter its folders, whatever the umask.
void openToEveryone(const std::string& root) {
    const auto readable = fs::perms::group_read | fs::perms::others_read;
    const auto enterable = fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(root, readable | enterable, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const bool folder = entry.is_directory();
        fs::permissions(entry.path(), folder ? readable | enterable : readable,
                        fs::perm_options::add);
    }
}

// The shared libraries that `executable` loads from inside `tree` (the
// checkout's .deps/ on Debian 12), as the dynamic loader resolves them now.
std::vector<std::string> librariesFrom(const std::string& executable, const std::string& tree) {
    std::vector<std::string> found;
    std::istringstream lines(runShell("ldd '" + executable + "'"));
    for (std::string line; std::getline(lines, line);) {
        const size_t arrow = line.find("=> ");
        if (arrow == std::string::npos) {
            continue;
        }
        std::string path = line.substr(arrow + 3);
        path = path.substr(0, path.find(" ("));
        if (path.rfind(tree, 0) == 0) {
            found.push_back(path);
        }
    }
    return found;
}

std::string quoted(const std::string& word) {
    return "'" + word + "'";
}

} // namespace

WaylandSession::WaylandSession(int width, int height, int scale) {
    dropPrivileges = geteuid() == 0;
    if (dropPrivileges) {
        const passwd* user = getpwnam("nobody");
        if (user == nullptr) {
            problem = "no user \"nobody\" to run sway as";
            return;
        }
        userId = user->pw_uid;
        groupId = user->pw_gid;
    }
    folder =
        makeFolder("desktop", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    runtimeDir = makeFolder("runtime", fs::perms::owner_all);
    if (folder.empty() || runtimeDir.empty()) {
        problem = "cannot make temporary folders";
        return;
    }
    if (dropPrivileges && chown(runtimeDir.c_str(), userId, groupId) != 0) {
        problem = "cannot hand " + runtimeDir + " to user nobody";
        return;
    }
    prepareGameFolder();
    if (problem.empty()) {
        startCompositor(width, height, scale);
    }
}

WaylandSession::~WaylandSession() {
    if (sway && sway->running()) {
        swaymsg("exit");
        sway->waitFor(5);
    }
    sway.reset(); // kills it if it is still there
    std::error_code ignored;
    if (!folder.empty()) {
        fs::remove_all(folder, ignored);
    }
    if (!runtimeDir.empty()) {
        fs::remove_all(runtimeDir, ignored);
    }
}

void WaylandSession::prepareGameFolder() {
    std::error_code error;
    fs::copy_file(VELMORA_GAME_EXE, folder + "/velmora", error);
    if (!error) {
        fs::copy(std::string(VELMORA_SOURCE_DIR) + "/data", folder + "/data",
                 fs::copy_options::recursive, error);
    }
    for (const std::string& library : librariesFrom(VELMORA_GAME_EXE, VELMORA_SOURCE_DIR)) {
        if (!error) {
            fs::copy_file(library, folder + "/" + fs::path(library).filename().string(), error);
        }
    }
    if (error) {
        problem = "cannot copy the game into " + folder + ": " + error.message();
        return;
    }
    carrySanitizerSuppressions();
    openToEveryone(folder);
}

// A sanitizer build names its suppression files by path, often inside the
// checkout, where the session's user may not read them; a sanitizer that
// cannot read them stops the game. They travel with the game instead.
void WaylandSession::carrySanitizerSuppressions() {
    for (const char* variable : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        const char* value = std::getenv(variable);
        const std::string key = "suppressions=";
        std::string options = value != nullptr ? value : "";
        const size_t at = options.find(key);
        if (at == std::string::npos) {
            continue;
        }
        const size_t start = at + key.size();
        const size_t end = std::min(options.find(':', start), options.size());
        const std::string copy = folder + "/" + variable + ".supp";
        std::error_code error;
        fs::copy_file(options.substr(start, end - start), copy, error);
        sanitizerOptions[variable] = options.replace(start, end - start, copy);
    }
    // The sanitizer pass preloads a library from the build tree that keeps
    // run-time loaded libraries (libdecor, the GPU driver) loaded until the
    // leak check; it travels with the game too.
    if (const char* preload = std::getenv("LD_PRELOAD")) {
        std::string carried;
        std::istringstream entries(preload);
        for (std::string entry; std::getline(entries, entry, ':');) {
            if (entry.empty()) {
                continue;
            }
            const std::string copy = folder + "/" + fs::path(entry).filename().string();
            std::error_code error;
            fs::copy_file(entry, copy, fs::copy_options::overwrite_existing, error);
            carried += (carried.empty() ? "" : ":") + (error ? entry : copy);
        }
        sanitizerOptions["LD_PRELOAD"] = carried;
    }
}

bool WaylandSession::startCompositor(int width, int height, int scale) {
    const std::string config = folder + "/sway.conf";
    std::ofstream(config) << "output HEADLESS-1 resolution " << width << "x" << height << " scale "
                          << scale << "\n"
                          << "default_border none\n"
                          << "xwayland disable\n";
    openToEveryone(folder);
    ProcessOptions options;
    options.workingDirectory = folder;
    options.env["XDG_RUNTIME_DIR"] = runtimeDir;
    options.env["HOME"] = runtimeDir;
    options.env["WLR_BACKENDS"] = "headless";
    options.env["WLR_LIBINPUT_NO_DEVICES"] = "1";
    options.env["WLR_RENDERER"] = "pixman";
    options.env["WAYLAND_DISPLAY"] = std::nullopt;
    options.env["DISPLAY"] = std::nullopt;
    options.env["LD_PRELOAD"] = std::nullopt; // the compositor is not under test
    sway = std::make_unique<ChildProcess>(asUser({"sway", "-c", config}), options);
    // Ready once both its Wayland socket and its IPC socket exist.
    const bool ready =
        sway->started() && waitUntil(30, [&] {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(runtimeDir, error)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) {
                    waylandDisplay = name;
                } else if (name.rfind("sway-ipc.", 0) == 0) {
                    swaySocket = entry.path().string();
                }
            }
            return !sway->running() || (!waylandDisplay.empty() && !swaySocket.empty());
        });
    if (!ready || !sway->running()) {
        problem = "sway did not start: " + sway->standardError();
        return false;
    }
    return true;
}

std::vector<std::string> WaylandSession::asUser(const std::vector<std::string>& argv) const {
    if (!dropPrivileges) {
        return argv;
    }
    std::vector<std::string> wrapped = {"setpriv", "--reuid=" + std::to_string(userId),
                                        "--regid=" + std::to_string(groupId), "--clear-groups"};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    return wrapped;
}

std::string WaylandSession::shellAsUser(const std::string& command) const {
    std::string line;
    for (const std::string& word : asUser({"env"})) {
        line += quoted(word) + " ";
    }
    return line + "XDG_RUNTIME_DIR=" + quoted(runtimeDir) +
           " WAYLAND_DISPLAY=" + quoted(waylandDisplay) + " SWAYSOCK=" + quoted(swaySocket) + " " +
           command;
}

std::unique_ptr<ChildProcess> WaylandSession::startGame() {
    ProcessOptions options;
    options.workingDirectory = folder;
    options.env["XDG_RUNTIME_DIR"] = runtimeDir;
    options.env["HOME"] = runtimeDir;
    options.env["WAYLAND_DISPLAY"] = waylandDisplay;
    options.env["DISPLAY"] = std::nullopt; // Wayland or nothing
    options.env["LD_LIBRARY_PATH"] = folder;
    for (const auto& [variable, value] : sanitizerOptions) {
        options.env[variable] = value;
    }
    auto game = std::make_unique<ChildProcess>(asUser({"./velmora", "windowed"}), options);
    if (game->started()) {
        waitUntil(60, [&] { return !game->running() || titleClock() > 0.0; });
    }
    return game;
}

double WaylandSession::titleClock() const {
    const std::string tree = runShell(shellAsUser("swaymsg -t get_tree"));
    const std::string key = "\"name\": \"Time: ";
    const size_t at = tree.find(key);
    return at == std::string::npos ? -1.0 : std::atof(tree.c_str() + at + key.size());
}

bool WaylandSession::swaymsg(const std::string& arguments) const {
    int rc = -1;
    runShell(shellAsUser("swaymsg " + arguments), &rc);
    return rc == 0;
}

Screenshot WaylandSession::capture() const {
    return captureCommand(shellAsUser("grim -t ppm -"));
}

} // namespace testsupport
