// bunnymark: how many small moving sprites the engine keeps at a frame rate.
// It opens the engine's 1024×768 window, cuts one picture of the game's atlas
// into a sprite batch and moves COUNT sprites of 32×32 pixels (BunnyField),
// drawing all of them blended with the batch's own program, one draw call per
// frame, for SECONDS, as the LÖVE and SFML bunnymarks draw theirs.
// At exit it prints one line on standard output:
//
//   COUNT sprites F frames/s C ms CPU/frame
//
// with F the average frame rate after the first second of frames and C the
// CPU time of all the process's threads (the rasteriser's included) per frame
// over the same span, which a loaded machine disturbs less than the rate. Run
// it from the directory that holds data/:
//
//   bunnymark [--quads] COUNT SECONDS [--profile] [--size PIXELS]
//
// As a page, ?count=N (the argument "--count N") sets the count, the page
// runs until it is closed and prints the line once a second; its C is the
// main thread's time in the browser's frame callbacks, by the browser's
// clock (a page cannot read its process's CPU time).
//
// The batch draws each sprite as the picture's tight mesh where the drawn
// size makes that pay; --quads switches meshes off and draws full quads.
//
// --profile also writes to standard error where a frame's time goes, in
// milliseconds per frame: the sprites' motion, building the batch's vertices
// on the CPU, uploading them (timed on a twin buffer of the same size, since
// the batch uploads inside its draw), the draw call (upload, vertex shading
// and binning, which llvmpipe does on the calling thread), the rasteriser
// finishing the frame (glFinish: the fill) and the rest of the loop (swap,
// title, events). The glFinish makes the frame serial, so a profiled run is
// a little slower than a plain one. It also counts the fragments shaded in
// the counted frames (a pipeline statistics query) and prints them per
// sprite, beside the picture's mesh: its vertices and its area against the
// quad's. --size changes the sprites' side, to see how the rate follows the
// filled area.
#include "BunnyField.h"

#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/GlErrors.h"
#include "velmora/SpriteBatch.h"
#include "engine/TightMesh.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace velmora;

namespace {

// The picture every sprite shows: the gauge's pointer, small in the atlas and
// mostly transparent around its shape, as the sprites of such benchmarks are.
constexpr const char* kPicture = "pointer.png";
constexpr double kWarmUpSeconds = 1.0;

struct Settings {
    int count = 0;
    double seconds = 0.0;
    bool profile = false;
    bool quads = false;
    float spriteSize = 32.0f;
};

// Wall time of each phase, summed over the counted frames.
struct Profile {
    double motion = 0, build = 0, upload = 0, draw = 0, fill = 0, rest = 0;
    double restStart = 0;
    long frames = 0;
    unsigned int fragmentQuery = 0;
    double fragments = 0; // shaded in the profiled frames
};

struct Bench {
    Settings settings;
    std::unique_ptr<BunnyField> field;
    std::unique_ptr<SpriteBatch> batch;
    int picture = -1;
    double lastTime = 0.0;
    // Frames whose clock read lies after the warm-up, and their first and last reads.
    long countedFrames = 0;
    double firstCounted = 0.0;
    double lastCounted = 0.0;
    double firstFrame = -1.0; // the clock at the first frame: the warm-up counts from there
    double firstCpu = 0.0; // seconds of CPU at the first counted frame
    double lastCpu = 0.0;
    Profile profile;
    unsigned int twinBuffer = 0; // --profile: the upload is timed into this
};

Bench bench;

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
#if defined(__EMSCRIPTEN__)
    // Summed by the page around each of the browser's calls of the frame.
    return EM_ASM_DOUBLE({ return (Module.velmoraBusyMs || 0) / 1000; });
#elif defined(_WIN32)
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7; // 100-nanosecond ticks
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

#ifndef __EMSCRIPTEN__
// The batch's vertex: position, texture coordinates, colour.
constexpr std::size_t kVertexBytes = 20;

// The shape each sprite is drawn as: the picture's tight mesh at the drawn
// size, or null for the quad.
const TightMesh* spriteMesh() {
    const Vec2 picture = bench.batch->pictureSize(bench.picture);
    const float size = bench.settings.spriteSize;
    return bench.batch->tightMesh(bench.picture, size / picture.x, size / picture.y);
}
#endif

bool counting() {
    return bench.countedFrames > 0;
}

// The line the bunnymark reports: the average rate and CPU time per frame
// of the frames counted so far.
void report() {
    double rate = 0.0;
    double cpu = 0.0;
    if (bench.countedFrames > 1 && bench.lastCounted > bench.firstCounted) {
        rate =
            static_cast<double>(bench.countedFrames - 1) / (bench.lastCounted - bench.firstCounted);
        cpu = (bench.lastCpu - bench.firstCpu) * 1000.0 /
              static_cast<double>(bench.countedFrames - 1);
    }
    std::printf("%d sprites %.1f frames/s %.2f ms CPU/frame\n", bench.settings.count, rate, cpu);
    std::fflush(stdout);
}

bool load() {
#ifndef __EMSCRIPTEN__
    glfwSwapInterval(0); // the rate is the program's, not the display's
#else
    // The main thread's time in each frame, by the browser's clock.
    EM_ASM({
        var before = Module.preMainLoop;
        var after = Module.postMainLoop;
        Module.preMainLoop = function () {
            Module.velmoraFrameStart = performance.now();
            return before ? before() : undefined;
        };
        Module.postMainLoop = function () {
            if (after) after();
            if (Module.velmoraFrameStart !== undefined) {
                Module.velmoraBusyMs = (Module.velmoraBusyMs || 0) +
                                       performance.now() - Module.velmoraFrameStart;
            }
        };
    });
#endif
    bench.batch = std::make_unique<SpriteBatch>();
    if (!bench.batch->loadAtlas("atlas")) {
        return false;
    }
    bench.picture = bench.batch->findPicture(kPicture);
    if (bench.picture < 0) {
        std::fprintf(stderr, "bunnymark: no picture \"%s\" in the atlas\n", kPicture);
        return false;
    }
    bench.batch->setTightMeshes(!bench.settings.quads);
    bench.field = std::make_unique<BunnyField>(
        static_cast<std::size_t>(bench.settings.count), static_cast<float>(kWindowedWidth),
        static_cast<float>(kWindowedHeight), bench.settings.spriteSize);
#ifndef __EMSCRIPTEN__
    if (bench.settings.profile) {
        if (GLEW_ARB_pipeline_statistics_query) {
            glGenQueries(1, &bench.profile.fragmentQuery);
        }
        glCreateBuffers(1, &bench.twinBuffer);
        glNamedBufferData(bench.twinBuffer,
                          static_cast<GLsizeiptr>(bench.settings.count * 32 * kVertexBytes),
                          nullptr, GL_DYNAMIC_DRAW);
    }
#endif
    return true;
}

void update() {
    const double now = Application::instance().time;
    if (bench.settings.profile && counting()) {
        bench.profile.rest += nowMs() - bench.profile.restStart;
    }
    if (bench.firstFrame < 0.0) {
        bench.firstFrame = now; // loading is not the bunnymark's to count
    }
    if (now - bench.firstFrame >= kWarmUpSeconds) {
        if (!counting()) {
            bench.firstCounted = now;
            bench.firstCpu = cpuSeconds();
        }
        ++bench.countedFrames;
        bench.lastCounted = now;
        bench.lastCpu = cpuSeconds();
#ifdef __EMSCRIPTEN__
        // A line a second of running, as the page never exits.
        static double nextReport = bench.firstFrame + kWarmUpSeconds + 1.0;
        if (now >= nextReport) {
            report();
            nextReport = now + 1.0;
        }
#endif
    }
    if (now - bench.firstFrame >= bench.settings.seconds) {
        glfwSetWindowShouldClose(Application::instance().window, GLFW_TRUE);
    }

    const double start = nowMs();
    bench.field->step(now - bench.lastTime);
    bench.lastTime = now;
    const double moved = nowMs();
    // Every sprite is stretched to the same square, as the LÖVE program does.
    const float size = bench.settings.spriteSize;
    const Vec2 picture = bench.batch->pictureSize(bench.picture);
    const float scaleX = size / picture.x;
    const float scaleY = size / picture.y;
    bench.batch->clear();
    for (const Bunny& bunny : bench.field->bunnies()) {
        bench.batch->add(bench.picture, bunny.x, bunny.y, 0.0f, scaleX, scaleY);
    }
    if (bench.settings.profile && counting()) {
        bench.profile.motion += moved - start;
        bench.profile.build += nowMs() - moved;
    }
}

#ifndef __EMSCRIPTEN__
// Sends the same bytes the batch uploads into the twin buffer, and times it.
void timeTwinUpload(const std::vector<unsigned char>& bytes) {
    const double start = nowMs();
    glNamedBufferSubData(bench.twinBuffer, 0, static_cast<GLsizeiptr>(bytes.size()), bytes.data());
    bench.profile.upload += nowMs() - start;
}
#endif

void draw() {
    Camera camera;
    camera.ortho(0.0f, static_cast<float>(kWindowedWidth), 0.0f,
                 static_cast<float>(kWindowedHeight), -1.0f, 1.0f);
#ifdef __EMSCRIPTEN__
    bench.batch->draw(camera);
#else
    if (!(bench.settings.profile && counting())) {
        bench.batch->draw(camera);
        return;
    }
    static std::vector<unsigned char> twin;
    if (twin.empty()) {
        // The twin upload's bytes: as many as the batch sends, its vertices
        // and its indices.
        const TightMesh* mesh = spriteMesh();
        const std::size_t vertices = mesh != nullptr ? mesh->points.size() : 4;
        const std::size_t indices = mesh != nullptr ? mesh->triangles.size() : 6;
        twin.resize(static_cast<std::size_t>(bench.settings.count) *
                    (vertices * kVertexBytes + indices * 4));
    }
    timeTwinUpload(twin);
    const unsigned int query = bench.profile.fragmentQuery;
    if (query != 0) {
        glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, query);
    }
    const double start = nowMs();
    bench.batch->draw(camera);
    const double drawn = nowMs();
    if (query != 0) {
        glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    }
    glFinish();
    const double finished = nowMs();
    if (query != 0) {
        GLuint64 shaded = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &shaded);
        bench.profile.fragments += static_cast<double>(shaded);
    }
    bench.profile.draw += drawn - start;
    bench.profile.fill += finished - drawn;
    bench.profile.restStart = finished;
    ++bench.profile.frames;
#endif
}

#ifndef __EMSCRIPTEN__
bool parseArguments(int argc, char** argv, Settings& settings) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--profile") == 0) {
            settings.profile = true;
        } else if (std::strcmp(argv[i], "--quads") == 0) {
            settings.quads = true;
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            settings.spriteSize = static_cast<float>(std::atof(argv[++i]));
        } else if (positional == 0) {
            settings.count = std::atoi(argv[i]);
            ++positional;
        } else if (positional == 1) {
            settings.seconds = std::atof(argv[i]);
            ++positional;
        } else {
            return false;
        }
    }
    return positional == 2 && settings.count >= 0 && settings.seconds > kWarmUpSeconds &&
           settings.spriteSize > 0.0f;
}

void printProfile() {
    const Profile& p = bench.profile;
    if (p.frames == 0) {
        return;
    }
    const double n = static_cast<double>(p.frames);
    std::fprintf(stderr,
                 "profile ms/frame: motion %.3f build %.3f upload %.3f draw %.3f fill %.3f "
                 "rest %.3f (%ld frames, %.0f-pixel sprites)\n",
                 p.motion / n, p.build / n, p.upload / n, p.draw / n, p.fill / n, p.rest / n,
                 p.frames, static_cast<double>(bench.settings.spriteSize));
    // What each sprite costs the rasteriser, and the shape that decides it.
    const TightMesh* mesh = spriteMesh();
    const Vec2 size = bench.batch->pictureSize(bench.picture);
    const double quadArea = static_cast<double>(size.x) * size.y;
    const double sprites = n * bench.settings.count;
    std::fprintf(stderr,
                 "profile fill: %.1f fragments per sprite (quad %.0f); shape: %s, %zu vertices, "
                 "area %.1f%% of the %.0f x %.0f quad\n",
                 p.fragments > 0 && sprites > 0 ? p.fragments / sprites : 0.0,
                 static_cast<double>(bench.settings.spriteSize * bench.settings.spriteSize),
                 mesh != nullptr ? "tight mesh" : "full quad",
                 mesh != nullptr ? mesh->points.size() : 4,
                 mesh != nullptr ? 100.0 * mesh->area() / quadArea : 100.0,
                 static_cast<double>(size.x), static_cast<double>(size.y));
}
#endif

#ifdef __EMSCRIPTEN__
// The page's count: "--count N" (?count=N in its address), or 1000.
int countFromArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0) {
            return std::min(std::max(std::atoi(argv[i + 1]), 0), 4194304);
        }
    }
    return 1000;
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef __EMSCRIPTEN__
    bench.settings.count = countFromArguments(argc, argv);
    bench.settings.seconds = HUGE_VAL; // the page runs until it is closed
#else
    if (!parseArguments(argc, argv, bench.settings)) {
        std::fprintf(stderr,
                     "usage: bunnymark [--quads] COUNT SECONDS [--profile] [--size PIXELS]\n"
                     "       (SECONDS more than 1; run from the directory holding data/)\n");
        return EXIT_FAILURE;
    }
#endif
    Application& application = Application::instance();
    SceneHooks hooks;
    hooks.load = load;
    hooks.update = update;
    hooks.draw = draw;
    application.setSceneHooks(hooks);
    ApplicationSettings settings;
    settings.vsync = Vsync::Off; // the rate is the program's, not the display's
    if (!application.init(false, settings)) {
        return EXIT_FAILURE;
    }
    application.run(); // on the web: never returns
    checkGlErrors(__FILE__, __LINE__);
    report();
#ifndef __EMSCRIPTEN__
    if (bench.settings.profile) {
        printProfile();
    }
#endif
    return EXIT_SUCCESS;
}
