// Text over the two mixed pictures: each player's timed message and the frame rate.
#pragma once

// Draws `text` with its first base line starting at window pixel (x, y), origin bottom
// left; each line feed starts a new line 15 pixels lower at the same x.
void drawText(const char* text, int x, int y);

// Draws the two timed messages that still have time left and counts their time down.
void drawOverlay();
