// Test support: the screen of an Xvfb started with -fbdir, read from its XWD file without any X connection.
#include "tests/support/framebuffer.h"

#include <X11/XWDFile.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tests/support/xharness.h"

namespace xt {

Framebuffer::Framebuffer(const std::string& fbdir) {
    const std::string path = fbdir + "/Xvfb_screen0";
    int fd = open(path.c_str(), O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < sizeof(XWDFileHeader)) {
        if (fd >= 0) close(fd);
        failed("no framebuffer in " + path);
        return;
    }
    size_ = static_cast<size_t>(st.st_size);
    void* map = mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) {
        failed("cannot map " + path);
        return;
    }
    map_ = static_cast<const unsigned char*>(map);
    // The XWD header is written most significant byte first; the pixels
    // follow it and the colour map, in the server's own byte order.
    XWDFileHeader header;
    std::memcpy(&header, map_, sizeof header);
    auto field = [](CARD32 v) { return static_cast<size_t>(__builtin_bswap32(v)); };
    bytesPerLine_ = field(header.bytes_per_line);
    width_ = static_cast<int>(field(header.pixmap_width));
    height_ = static_cast<int>(field(header.pixmap_height));
    const unsigned char* pixels = map_ + field(header.header_size) + field(header.ncolors) * sz_XWDColor;
    if (field(header.bits_per_pixel) == 32 && pixels + bytesPerLine_ * height_ <= map_ + size_)
        pixels_ = pixels;
    else
        failed(path + " is not a 32-bit screen of the size it says");
}

Framebuffer::~Framebuffer() {
    if (map_) munmap(const_cast<unsigned char*>(map_), size_);
}

unsigned Framebuffer::pixel(int x, int y) const {
    if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    unsigned value = 0;
    std::memcpy(&value, pixels_ + bytesPerLine_ * static_cast<size_t>(y) + 4 * static_cast<size_t>(x), 4);
    return value & 0xffffff;
}

bool Framebuffer::any(unsigned rgb, int x, int y, int width, int height) const {
    for (int row = std::max(y, 0); row < std::min(y + height, height_); ++row)
        for (int column = std::max(x, 0); column < std::min(x + width, width_); ++column)
            if (pixel(column, row) == rgb) return true;
    return false;
}

}  // namespace xt
