// Icon loading and upload. Bitmaps store blue first, so the pixels go up as BGR(A) into
// an RGB(A) texture; 8-bit icons are expanded through their palette. Rows are unpadded,
// hence the unpack alignment of 1 for the upload (the caller's value is restored).
#include "app/Icons.h"

#include "app/GameConfig.h"
#include "volume/DIBLoader.h"

#include <GL/glew.h>

#include <cstddef>
#include <vector>

namespace {

IconImage readIcon(const char* path)
{
    IconImage image{};
    if (getRAWfromDIB(path, &image.data, &image.width, &image.height, &image.bytesPerPixel, &image.palette) !=
        kDIBLoaded) {
        delete[] image.data;
        delete[] image.palette;
        image = IconImage{};
    }
    return image;
}

// Uploads the icon if it has pixels and frees it; -1 when there was nothing to upload.
int textureOf(IconImage& image)
{
    int name = image.data ? uploadIcon(image) : -1;
    delete[] image.data;
    delete[] image.palette;
    image = IconImage{};
    return name;
}

// Palette indices to blue, green, red triples; a missing palette reads as grey levels.
std::vector<unsigned char> expandPalette(const IconImage& image)
{
    std::size_t count = std::size_t(image.width) * std::size_t(image.height);
    std::vector<unsigned char> bgr(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        unsigned index = image.data[i];
        for (int c = 0; c < 3; ++c)
            bgr[i * 3 + c] = image.palette ? image.palette[index * 4 + c] : (unsigned char)index;
    }
    return bgr;
}

} // namespace

int uploadIcon(const IconImage& image)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    switch (image.bytesPerPixel) {
    case 3:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.width, image.height, 0, GL_BGR, GL_UNSIGNED_BYTE, image.data);
        break;
    case 4:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width, image.height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     image.data);
        break;
    case 1: {
        std::vector<unsigned char> bgr = expandPalette(image);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.width, image.height, 0, GL_BGR, GL_UNSIGNED_BYTE, bgr.data());
        break;
    }
    default:
        break;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return int(name);
}

void loadIcons(AppState& state)
{
    IconImage rotate = readIcon(game::kRotateIcon);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    state.rotateToolTexture = textureOf(rotate);
    IconImage move = readIcon(game::kMoveIcon);
    state.moveToolTexture = textureOf(move);
}
