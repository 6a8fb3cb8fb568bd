// An installed game starts from any working directory through its launcher,
// and the desktop's menus can list it; so does the game's Debian package,
// unpacked into any folder. The engine installs alone, from a checkout in any
// folder, and a game built on it runs from a prefix of its own.
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/GuideIndex.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;

namespace {

// Where this system has no GLFW 3.4, the bootstrap borrowed it into .deps/
// and every install of the engine carries it.
bool glfwIsBorrowed() { return fs::exists(VELMORA_SOURCE_DIR "/.deps/usr/include/GLFW/glfw3.h"); }

// The command's standard error comes along in its output (runShell itself
// drops the standard error of what it runs).
std::string run(const std::string& command, int* rc) {
    return runShell("(exec 2>&1; " + command + ")", rc);
}

TEST(Install, TheLauncherRunsTheGameFromItsDataDirectory) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    int rc = -1;
    runShell("cmake --install '" VELMORA_BINARY_DIR "' --prefix '" + prefix + "'", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fs::exists(prefix + "/bin/velmora"));
    ASSERT_TRUE(fs::is_directory(prefix + "/share/velmora/data"));

    // The desktop's menu entry is valid and starts this launcher; its icon is
    // in the hicolor theme.
    const std::string entry = prefix + "/share/applications/velmora.desktop";
    const std::string problems = runShell("desktop-file-validate '" + entry + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << problems;
    EXPECT_EQ(problems, "");
    EXPECT_NE(testsupport::readFile(entry).find("Exec=\"" + prefix + "/bin/velmora\"\n"),
              std::string::npos)
        << testsupport::readFile(entry);
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/scalable/apps/velmora.svg"));
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/256x256/apps/velmora.png"));

    // Start it from a directory without data/: the launcher must find its own.
    ProcessOptions options;
    options.workingDirectory = "/";
    auto game = testsupport::startGame({prefix + "/bin/velmora", "windowed"}, options);
    ASSERT_TRUE(game->started());
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    ASSERT_TRUE(testsupport::waitUntil(30, [&] { return testsupport::titleClock(window) > 0.0; }));
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    // Every asset was found: no loader complained.
    EXPECT_EQ(game->standardError().find("Failed to open"), std::string::npos)
        << game->standardError();
    EXPECT_EQ(game->standardOutput().find("Failed to load"), std::string::npos)
        << game->standardOutput();
}

// The package is built here and unpacked with dpkg-deb, never installed: its
// launcher and its private library path must work from wherever it lies.
TEST(Install, TheDebianPackageRunsFromAnyFolder) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    int rc = -1;
    const std::string log = runShell("cpack -G DEB --config '" VELMORA_BINARY_DIR
                                     "/CPackConfig.cmake' -B '" + scratch.path() + "/debs' 2>&1", &rc);
    ASSERT_EQ(rc, 0) << log;
    const std::string root = scratch.path() + "/root";
    // The game, and the private GLFW's package where GLFW 3.4 is borrowed.
    const std::string debs = glfwIsBorrowed() ? "velmora_*.deb velmora-glfw_*.deb" : "velmora_*.deb";
    runShell("cd '" + scratch.path() + "/debs' && for deb in " + debs + "; do dpkg-deb -x \"$deb\" '" + root +
                 "' || exit 1; done",
             &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fs::exists(root + "/usr/games/velmora"));
    ASSERT_TRUE(fs::is_directory(root + "/usr/share/velmora/data"));

    ProcessOptions options;
    options.workingDirectory = "/";
    auto game = testsupport::startGame({root + "/usr/games/velmora", "windowed"}, options);
    ASSERT_TRUE(game->started());
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    // The first title picture, as the documentation shows it.
    ASSERT_TRUE(testsupport::waitUntil(30, [&] { return testsupport::titleClock(window) > 2.0; }));
    const testsupport::Screenshot shot = testsupport::captureWindow(window);
    EXPECT_LT(testsupport::titleClock(window), 5.4) << "the screenshot came too late";
    testsupport::Screenshot title;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load(VELMORA_SOURCE_DIR "/docs/title.png", &title.width, &title.height, nullptr, 3),
        stbi_image_free);
    ASSERT_TRUE(pixels);
    title.rgb.assign(pixels.get(), pixels.get() + title.width * title.height * 3);
    ASSERT_EQ(shot.width, title.width);
    EXPECT_LT(shot.difference(title), 2.0);
    // A GLFW that the packages carry is the one the game runs with.
    const std::string privateGlfw = root + "/usr/lib/velmora/glfw/libglfw.so.3.4";
    const std::string maps = testsupport::readFile("/proc/" + std::to_string(game->processId()) + "/maps");
    EXPECT_EQ(maps.find(privateGlfw) != std::string::npos, glfwIsBorrowed()) << maps;

    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
}

// A checkout reached through a symbolic link in a folder whose name has a
// space and a "+" builds, installs and packages the engine alone; a game built
// on that install and installed with CMake to a prefix of its own runs with
// the engine's GLFW.
TEST(Install, TheEngineAloneFromAnyFolderCarriesWhatAGameNeeds) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string checkout = scratch.path() + "/checkout", link = scratch.path() + "/c++ games+/velmora";
    const std::string engine = scratch.path() + "/c++ games+/engine", game = scratch.path() + "/game";
    int rc = -1;
    const std::string log = run(
        "mkdir -p '" + checkout + "' '" + engine + "' && tar -C '" VELMORA_SOURCE_DIR "' --exclude='./build*' --exclude=./.git -cf - . | tar -C '" +
            checkout + "' -xf - && ln -s '" + checkout + "' '" + link + "' && cd '" + link +
            // unoptimised, without debugging information: the quickest build
            "' && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None -DVELMORA_TESTS=OFF -DVELMORA_TOOLS=OFF && cmake"
            " --build build --target velmora_engine && cmake --install build --component engine --prefix '" + engine +
            "' && (cd build && cpack -G DEB -D CPACK_COMPONENTS_ALL='" + (glfwIsBorrowed() ? "engine;glfw" : "engine") +
            "') && cmake -S examples/bounce -B b"
            " -DCMAKE_PREFIX_PATH='" + engine + "' && cmake --build b && cmake --install b --prefix '" + game + "'",
        &rc);
    ASSERT_EQ(rc, 0) << log;
    // The game's data/ follows its folder: a file added, changed, removed;
    // a build with nothing new leaves it alone.
    const std::string example = link + "/examples/bounce/data", built = link + "/b/data/extra/note.txt";
    // A file the build did not copy stays through every one of them.
    const std::string theirs = link + "/b/data/extra/theirs.txt";
    fs::create_directories(link + "/b/data/extra");
    std::ofstream(theirs) << "mine\n";
    const struct { const char* change; const char* copied; } steps[] = {
        {"mkdir extra && echo one > extra/note.txt", "one\n"}, {"echo two > extra/note.txt", "two\n"},
        {"", "two\n"}, {"rm -r extra", nullptr}};
    for (const auto& step : steps) {
        const std::string output =
            run("cd '" + example + "' && " + (*step.change ? step.change : "true") + " && cmake --build '" + link + "/b'", &rc);
        ASSERT_EQ(rc, 0) << output;
        EXPECT_EQ(output.find("data/ together") != std::string::npos, *step.change != '\0') << step.change << "\n" << output;
        EXPECT_EQ(fs::exists(built), step.copied != nullptr) << step.change;
        if (step.copied != nullptr) {
            EXPECT_EQ(testsupport::readFile(built), step.copied) << step.change;
        }
        EXPECT_EQ(testsupport::readFile(theirs), "mine\n") << step.change;
    }
    fs::remove_all(link + "/b");
    EXPECT_FALSE(fs::exists(engine + "/bin")) << "the game came along";
    EXPECT_TRUE(fs::exists(engine + "/share/velmora-engine/data/shaders/textured.glsl"));
    // The engine's package depends on GLFW's, which carries it, never on the game's.
    const std::string debs = "'" + link + "/build/'", lib = "/usr/lib/velmora/glfw/libglfw.so.3.4";
    const std::string depends = run("dpkg-deb -f " + debs + "velmora-engine-dev_*.deb Depends", &rc);
    EXPECT_EQ(depends.find("velmora ("), std::string::npos) << depends;
    EXPECT_EQ(depends.find("velmora-glfw (=") != std::string::npos, glfwIsBorrowed()) << depends;
    EXPECT_EQ(run("dpkg-deb -c " + debs + "velmora-engine-dev_*.deb", &rc).find("libglfw.so"), std::string::npos);
    EXPECT_EQ(run("dpkg-deb -c " + debs + "velmora-glfw_*.deb", &rc).find("." + lib) != std::string::npos, glfwIsBorrowed());

    ProcessOptions options;
    options.workingDirectory = "/";
    auto bounce = testsupport::startGame({game + "/bounce/bounce"}, options);
    ASSERT_TRUE(bounce->started());
    const std::string window = testsupport::windowOf(*bounce);
    ASSERT_FALSE(window.empty()) << bounce->standardError();
    const std::string maps = testsupport::readFile("/proc/" + std::to_string(bounce->processId()) + "/maps");
    EXPECT_NE(maps.find(glfwIsBorrowed() ? engine + "/lib/velmora/glfw/libglfw.so.3.4" : "/libglfw.so.3"), std::string::npos)
        << maps;
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = bounce->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << bounce->standardError();
}

// A game takes a fresh clone of the engine as a subfolder, or through
// FetchContent from a local clone, in folders whose names have spaces: it
// configures, builds only the engine and itself, and draws its first frame.
// Its program in its own folder leaves its own data/ as it is.
struct SubprojectCase {
    const char* name;
    const char* takeTheEngine; // the game's CMakeLists.txt up to the engine
    bool ownDeps;              // the engine's folder has its own .deps/
};

void PrintTo(const SubprojectCase& c, std::ostream* out) { *out << c.name; }

class Subproject : public ::testing::TestWithParam<SubprojectCase> {};

TEST_P(Subproject, TheGameBuildsTheEngineAloneAndDraws) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string clone = scratch.path() + "/engine clone", game = scratch.path() + "/my game";
    // Where the bootstrap borrowed packages, a clone needs them too: the
    // subfolder gets its own .deps/, FetchContent's clone is pointed at them.
    const std::string deps = VELMORA_SOURCE_DIR "/.deps";
    std::string cmakeLists = "cmake_minimum_required(VERSION 3.25)\nproject(MyGame LANGUAGES CXX)\n";
    std::string take = GetParam().takeTheEngine;
    if (const auto at = take.find("@CLONE@"); at != std::string::npos) {
        take.replace(at, 7, clone);
    }
    cmakeLists += take;
    cmakeLists += "add_executable(mygame main.cpp)\ntarget_link_libraries(mygame PRIVATE Velmora::engine)\n"
                  "velmora_add_data(mygame data)\n";
    int rc = -1;
    std::string log = run(
        "mkdir -p '" + clone + "' '" + game + "' && tar -C '" VELMORA_SOURCE_DIR "' --exclude='./build*' --exclude=./.git -cf - . | tar -C '" +
            clone + "' -xf - && cd '" + clone + "' && git init -q && git add -A && git -c user.name=t -c user.email=t@t commit -qm engine"
            " && cd '" + game + "' && git clone -q '" + clone + "' velmora && (! test -d '" + deps + "' || cp -a '" + deps +
            "' velmora/) && cp -r '" VELMORA_SOURCE_DIR "/examples/bounce/main.cpp' '" VELMORA_SOURCE_DIR "/examples/bounce/data' .",
        &rc);
    ASSERT_EQ(rc, 0) << log;
    std::ofstream(game + "/CMakeLists.txt") << cmakeLists;
    // unoptimised, without debugging information: the quickest build
    const std::string configure = "cd '" + game + "' && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None " +
                                  (GetParam().ownDeps ? "" : "-DVELMORA_DEPS_PREFIX='" + deps + "/usr' ") + "$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "
                                  "-DCMAKE_C_COMPILER_LAUNCHER=ccache)";
    log = run(configure + " && cmake --build build", &rc);
    ASSERT_EQ(rc, 0) << cmakeLists << log;
    // Nothing but the engine and the game: no test, tool, example or bus game.
    const std::string built = run("cd '" + game + "/build' && find . -path ./CMakeFiles -prune -o -path '*/CMakeFiles' -prune -o "
                                  "-path ./_deps/velmora-src -prune -o -path ./_deps/velmora-subbuild -prune -o -type f "
                                  "\\( -perm -u+x -o -name '*.a' -o -name '*.so' \\) -printf '%f\\n' | sort", &rc);
    EXPECT_EQ(built, "libvelmora_engine.a\nmygame\n");

    ProcessOptions options;
    options.workingDirectory = "/";
    auto mygame = testsupport::startGame({game + "/build/mygame"}, options);
    ASSERT_TRUE(mygame->started());
    const std::string window = testsupport::windowOf(*mygame);
    ASSERT_FALSE(window.empty()) << mygame->standardError();
    // Its pictures, from the data/ put together beside it.
    EXPECT_TRUE(testsupport::waitUntil(20, [&] {
        const testsupport::Screenshot shot = testsupport::captureWindow(window);
        int tinted = 0;
        for (std::size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
            tinted += std::max({shot.rgb[i], shot.rgb[i + 1], shot.rgb[i + 2]}) -
                          std::min({shot.rgb[i], shot.rgb[i + 1], shot.rgb[i + 2]}) > 80;
        }
        return tinted > 5000;
    }));
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = mygame->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << mygame->standardError();

    // The program in the game's own folder: data/ beside it is the game's.
    const std::string own = run("cd '" + game + "/data' && find . | sort", &rc);
    log = run(configure + " -DCMAKE_RUNTIME_OUTPUT_DIRECTORY='" + game + "' && cmake --build build", &rc);
    ASSERT_EQ(rc, 0) << log;
    EXPECT_NE(log.find(game + "/data is the game's own data folder: nothing is copied"), std::string::npos) << log;
    EXPECT_EQ(run("cd '" + game + "/data' && find . | sort", &rc), own);
}

INSTANTIATE_TEST_SUITE_P(
    Install, Subproject,
    ::testing::Values(SubprojectCase{"AddSubdirectory", "add_subdirectory(velmora)\n", true},
                      SubprojectCase{"FetchContent", "include(FetchContent)\nFetchContent_Declare(velmora GIT_REPOSITORY "
                                                     "\"@CLONE@\" GIT_TAG HEAD)\nFetchContent_MakeAvailable(velmora)\n", false}),
    [](const ::testing::TestParamInfo<SubprojectCase>& info) { return std::string(info.param.name); });

// The installed headers are the engine's promise to a game: each compiles on
// its own, and every header it includes by quotes is another installed one,
// never one of the workings in src/engine/.
TEST(Install, EveryInstalledHeaderIsPublicAndCompilesAlone) {
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    std::string log;
    ASSERT_TRUE(testsupport::installEngine(prefix, &log)) << log;
    int rc = -1;
    const fs::path include = prefix + "/include";
    const std::regex quoted("#include\\s*\"([^\"]+)\"");
    int headers = 0;
    for (const auto& entry : fs::recursive_directory_iterator(include)) {
        const std::string name = entry.path().lexically_relative(include).string();
        if (entry.path().extension() != ".h" || name.rfind("velmora/GLFW/", 0) == 0) {
            continue; // the window library's own headers may come along
        }
        ++headers;
        EXPECT_TRUE(fs::exists(VELMORA_SOURCE_DIR "/include/" + name)) << name << " is not public";
        const std::string text = testsupport::readFile(entry.path().string());
        for (std::sregex_iterator it(text.begin(), text.end(), quoted), end; it != end; ++it) {
            const std::string included = (*it)[1];
            EXPECT_TRUE(included.rfind("velmora/", 0) == 0 && fs::exists(include / included))
                << name << " includes \"" << included << "\"";
        }
        const std::string errors = run("echo '#include <" + name +
                                           ">' | c++ -std=c++17 -Wall -Wextra "
                                           "-Werror -fsyntax-only -I'" +
                                           include.string() + "' -x c++ -",
                                       &rc);
        EXPECT_EQ(rc, 0) << name << " does not compile alone:\n" << errors;
    }
    EXPECT_EQ(headers, std::distance(fs::directory_iterator(VELMORA_SOURCE_DIR "/include/velmora"),
                                     fs::directory_iterator()));
}

} // namespace
