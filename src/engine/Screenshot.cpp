#include "velmora/Application.h"

#include "engine/GlState.h"
#include "velmora/GlErrors.h"
#include "engine/platform/Platform.h"

#include <GL/glew.h>
#include <stb_image_write.h>
#include <unistd.h>

#ifdef __EMSCRIPTEN__
#include "engine/platform/web/WebPage.h"
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace velmora {

namespace {

// While alive, glReadPixels reads the window's `buffer`, whatever
// framebuffer the game has bound for reading; then the game's read
// framebuffer and the window's read buffer are back.
class WindowReadKeeper {
  public:
    explicit WindowReadKeeper(GLenum buffer) {
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &framebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        glReadBuffer(buffer);
    }
    ~WindowReadKeeper() {
        glReadBuffer(static_cast<GLenum>(readBuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
    }
    WindowReadKeeper(const WindowReadKeeper&) = delete;
    WindowReadKeeper& operator=(const WindowReadKeeper&) = delete;

  private:
    GLint framebuffer = 0;
    GLint readBuffer = GL_BACK;
};

// Where stb_image_write's encoder puts the file's bytes; the first error of
// a write is kept.
struct FileSink {
    std::FILE* file = nullptr;
    int error = 0;
};

void writeToSink(void* context, void* data, int size) {
    auto* sink = static_cast<FileSink*>(context);
    if (sink->error == 0 &&
        std::fwrite(data, 1, static_cast<size_t>(size), sink->file) != static_cast<size_t>(size)) {
        sink->error = errno != 0 ? errno : EIO;
    }
}

// Opens a new file beside `path`, named after it, that no one else has: its
// name goes into `temporary`. -1 with errno set when the folder refuses.
int openTemporaryBeside(const std::string& path, std::string& temporary) {
    static unsigned int serial = 0;
    for (;;) {
        temporary = path + "." + std::to_string(platform::processId()) + "-" +
                    std::to_string(++serial) + ".part";
        const int fd = platform::createNewFile(temporary);
        if (fd >= 0 || errno != EEXIST) {
            return fd; // EEXIST: a file left by an earlier process; try the next name
        }
    }
}

// Writes the PNG to a temporary file and renames it to `path`. Returns 0, or
// the errno of the step that failed, with the temporary file removed.
int writePngInPlace(const std::string& path, int width, int height,
                    const std::vector<unsigned char>& topDownRgb) {
    std::string temporary;
    const int fd = openTemporaryBeside(path, temporary);
    if (fd < 0) {
        return errno;
    }
    FileSink sink;
    sink.file = fdopen(fd, "wb");
    if (sink.file == nullptr) {
        const int error = errno;
        close(fd);
        platform::removeFile(temporary);
        return error;
    }
    // The encoder hands over the whole file in one piece: a buffer would
    // only copy it, and a write error shows at once.
    std::setvbuf(sink.file, nullptr, _IONBF, 0);
    const bool encoded = stbi_write_png_to_func(writeToSink, &sink, width, height, 3,
                                                topDownRgb.data(), width * 3) != 0;
    if (std::fclose(sink.file) != 0 && sink.error == 0) {
        sink.error = errno;
    }
    if (!encoded && sink.error == 0) {
        sink.error = ENOMEM; // the encoder's only failure is its allocation
    }
    if (sink.error == 0) {
        sink.error = platform::replaceFile(temporary, path);
    }
    if (sink.error != 0) {
        platform::removeFile(temporary);
    }
    return sink.error;
}

} // namespace

bool Application::saveScreenshot(const std::string& path) {
    const auto refuse = [&path](const std::string& why) {
        std::cerr << "Cannot save the screenshot \"" << path << "\": " << why << std::endl;
        return false;
    };
    if (window == nullptr) {
        return refuse("there is no window");
    }
    if (!drawing) {
        return refuse("take it from the draw hook, after the frame's last draw");
    }
    if (picture.width <= 0 || picture.height <= 0) {
        return refuse("the window shows no picture");
    }
    const int width = picture.width;
    const int height = picture.height;
    // Read as RGBA, the one format every OpenGL, and WebGL2, reads the
    // window in; the file keeps RGB.
    std::vector<unsigned char> bottomUp(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    // Errors left by earlier calls are reported here, so that what follows
    // the read is the read's own.
    checkGlErrors(__FILE__, __LINE__);
    {
        const PackStateKeeper tightRows;
        const WindowReadKeeper windowPicture(GL_BACK);
        glReadPixels(picture.x, picture.y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                     bottomUp.data());
    }
    bool readFailed = false;
    drainGlErrors(
        [&readFailed] {
            const unsigned int code = glGetError();
            readFailed = readFailed || code != GL_NO_ERROR;
            return code;
        },
        __FILE__, __LINE__, std::cout);
    if (readFailed) {
        return refuse("the window's picture could not be read");
    }
    // OpenGL gives the bottom row first, PNG wants the top row first.
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> topDown(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        const unsigned char* from = &bottomUp[static_cast<size_t>(width) * 4 *
                                              static_cast<size_t>(height - 1 - row)];
        unsigned char* to = &topDown[rowBytes * static_cast<size_t>(row)];
        for (int x = 0; x < width; ++x, from += 4, to += 3) {
            std::memcpy(to, from, 3);
        }
    }
    const int error = writePngInPlace(path, width, height, topDown);
    if (error != 0) {
        return refuse(std::strerror(error));
    }
#ifdef __EMSCRIPTEN__
    // The file lies in the page's memory, out of the player's reach: the
    // browser saves a copy among its downloads.
    web::offerDownload(path);
#endif
    return true;
}

} // namespace velmora
