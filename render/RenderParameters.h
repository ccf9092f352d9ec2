// The ray caster's user-settable parameters with their defaults. A plain record: the
// owner writes the fields of GLSLRaycaster::params directly; the caster keeps a second
// copy of what it last sent, so a value reaches the ray-casting program only when it
// differs from that copy.
#pragma once

namespace Classification {
class TransferFunction;
class PreintTransferFunction1D;
}

struct RenderParameters {
    float sampleDistance = 0.004f;   // step along the ray, object-space units; "sample_distance"
    int maxSamples = 600;            // steps per ray at most; "max_samples"
    Classification::PreintTransferFunction1D* transferFunction = nullptr; // not owned; null = unset
    Classification::TransferFunction* transferFunction2D = nullptr;       // not owned; null = none
    float preintSampleDistance = 1.0f; // segment length of the pre-integration table
    float isoValue = 0.3f;           // normalised intensity; "iso_value" and the block threshold
    float lightPos[3] = {0, 0, 0};   // written in eye space, turned into object space by render()
    bool useShading = false;         // "useShading"
    bool useJitter = false;          // "useJitter"
    bool useBlocks = false;          // true: octree block geometry; false: the clipped box
    bool usePreint = false;          // "usePreint"; also lets render() recompute the table
    unsigned char maxLevel[3] = {4, 4, 4}; // octree levels per axis, read once at the first volume
    double clipMin[3] = {0, 0, 0};   // object space; reset to 0 by every setVolume
    double clipMax[3] = {0, 0, 0};   // object space; reset to `scale` by every setVolume
    int blockMode = 1;               // bit 0: transfer-function range, bit 1: iso threshold
    int debugBoxMode = 0;            // 0 none, 1 volume box, 2 clipped box, as white lines
};
