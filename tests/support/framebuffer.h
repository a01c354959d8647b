// Test support: the screen of an Xvfb started with -fbdir, read from its XWD file without any X connection.
#pragma once

#include <cstddef>
#include <string>

namespace xt {

// Xvfb -fbdir DIR keeps screen 0 in DIR/Xvfb_screen0, an XWD image that it
// paints into as it goes. Read through a mapping of that file, the screen
// shows what is painted even while the server is grabbed or an
// override-redirect window holds the keyboard.
class Framebuffer {
   public:
    // Maps DIR/Xvfb_screen0; not ok() when there is none or it is not 32
    // bits a pixel.
    explicit Framebuffer(const std::string& fbdir);
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    bool ok() const { return pixels_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The colour at (x, y) as 0xRRGGBB; 0 outside the screen.
    unsigned pixel(int x, int y) const;
    // Whether any pixel of the rectangle (clipped to the screen) has the colour.
    bool any(unsigned rgb, int x, int y, int width, int height) const;

   private:
    const unsigned char* map_ = nullptr;
    size_t size_ = 0;
    const unsigned char* pixels_ = nullptr;
    size_t bytesPerLine_ = 0;
    int width_ = 0, height_ = 0;
};

}  // namespace xt
