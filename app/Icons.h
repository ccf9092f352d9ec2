// The two tool icons, loaded at start-up into textures (no frame draws them).
#pragma once

#include "app/AppState.h"

// A bitmap as the loader delivers it; its owner frees data and palette with delete[].
struct IconImage {
    unsigned char* data;     // rows top first, unpadded, bytes as the file stores them; null = no pixels
    int width, height;       // pixels
    int bytesPerPixel;       // 1 (palette index), 3 (blue, green, red) or 4 (blue, green, red, alpha)
    unsigned char* palette;  // 256 entries of blue, green, red, reserved for 1-byte pixels; may be null
};

// A new linear-filtered 2D texture holding the image, left bound; returns its name.
// Pixel sizes other than 1, 3 and 4 give a texture without an image.
int uploadIcon(const IconImage& image);

// Fills rotateToolTexture and moveToolTexture (-1 for an icon without pixels).
void loadIcons(AppState& state);
