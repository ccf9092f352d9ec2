// Ray-casting program, fragment stage: marches one ray per pixel through the volume,
// front to back, and writes the layer's colour and opacity.
//
// Output: PREMULTIPLIED colour. rgb already carries the opacity (rgb <= a), so layers
// combine with "over" as  dst = src + (1 - src.a) * dst,  and a pixel no ray reached is
// (0, 0, 0, 0).
//
// Empty space is skipped inside each ray: "occupancy" holds, per block of voxels, 0 where
// the block may show through the layer's table and otherwise n, meaning that no block
// within n - 1 blocks of it shows. The march passes over the lattice points inside that
// cube without sampling them, so the picture equals a march that samples every point.
//
// Not read here: "iso_value" and "transfer_function2D" (the caster skips what a program
// does not declare).
#version 120

uniform sampler2D ray_start;       // rgb: object-space entry point
uniform sampler2D ray_dirTex;      // rgb: exit - entry; a: ray length (0 = the ray misses)
uniform sampler3D volume;          // normalised intensity
uniform sampler1D transfer_function; // RGBA by intensity, colour not premultiplied
uniform sampler2D preint_function; // segment colour (premultiplied) and opacity by intensity pair
uniform sampler2D jitter;          // random values, 32 x 32 texels, repeating
uniform sampler3D occupancy;       // per block: r 0 = may show, n = nothing shows within n - 1 blocks;
                                   // a (where r is 0): every block within a - 1 blocks may show

uniform vec3 texScaleFactors;      // object space -> volume texture coordinates
uniform vec3 dX;                   // one volume texel along x, in texture coordinates
uniform vec3 dY;                   // ... along y
uniform vec3 dZ;                   // ... along z
uniform vec2 tileSize;             // jitter tiles across the target
uniform vec3 occupancyScale;       // object space -> block coordinates
uniform vec3 occupancySize = vec3(1.0); // blocks per axis
uniform vec3 volumeTexelMax = vec3(1.0); // texture coordinates of the last voxel centres
uniform float transferFunctionSize = 256.0; // entries of the stored lookup table
uniform float preintSize = 256.0;  // entries per side of the stored pre-integration table
// The caster sends the following only when they differ from its own defaults, so each
// starts at that default here; useShading alone deliberately differs (on).
uniform float sample_distance = 0.004; // step, object-space units
uniform int max_samples = 600;     // steps per ray at most
uniform int usePreint = 0;         // classify segments through preint_function
uniform int useJitter = 0;         // offset each ray's start by up to one step
uniform int useShading = 1;        // never sent by the game, so shading is on by default
uniform vec3 lightPos = vec3(0.0); // point light, object space
uniform vec3 eye = vec3(0.0);      // camera, object space

const float kOpaque = 0.99;        // early ray termination
const float kAmbient = 0.35;
const float kDiffuse = 0.65;
const float kSpecular = 0.25;
const float kShininess = 24.0;

// Within the centres of the first and last real voxels: past them, linear filtering
// would blend in the undefined padding of the power-of-two storage.
// Entry i of a table of N entries stands for intensity i / (N - 1): read at texel
// position v (N - 1), not v N - 0.5, or the table shifts by up to half an entry.
float lookupScale, lookupBias, preintScale, preintBias;

vec4 lookup(float v)
{
    return texture1D(transfer_function, v * lookupScale + lookupBias);
}

float intensityAtTexel(vec3 tc)
{
    return texture3D(volume, clamp(tc, 0.5 * vec3(dX.x, dY.y, dZ.z), volumeTexelMax)).r;
}

float intensityAt(vec3 position)
{
    return intensityAtTexel(position * texScaleFactors);
}

// Colour (premultiplied) and opacity of the step that ends at intensity `back`.
vec4 classify(float front, float back, bool preintegrated)
{
    // The pre-integration table holds, for every pair (front, back), what a whole segment
    // accumulates while the intensity runs linearly from one to the other; its colour is
    // already weighted by opacity. The table is symmetric, so the pair's order is free.
    if (preintegrated)
        return texture2D(preint_function, vec2(front, back) * preintScale + preintBias);
    vec4 c = lookup(back);
    return vec4(c.rgb * c.a, c.a);
}

// Composites one ray front to back over the lattice t = offset + i * sample_distance.
// `strongest` returns the position of the sample that contributes most to the pixel,
// where the ray is lit.
//
// Two inner loops take turns: one passes over cubes of empty blocks, one occupancy read
// per cube; the other samples through a block that may show, without reading it again.
// A software renderer runs every branch of a loop body for all pixels of a group, but
// leaves a loop as soon as no pixel of the group needs it, so each loop holds only its
// own work.
vec4 march(vec3 start, vec3 dir, float rayLength, float offset, bool preintegrated, out vec3 strongest)
{
    vec4 result = vec4(0.0);
    float strongestShare = 0.0;
    strongest = start;
    float previous = intensityAt(start + dir * offset);

    // Block coordinates along the ray; a zero component would divide into a NaN.
    vec3 blockStart = start * occupancyScale;
    vec3 towards = step(0.0, dir);  // 1 where the ray runs up an axis (or along it)
    vec3 blockDir = (2.0 * towards - 1.0) * max(abs(dir * occupancyScale), vec3(1e-7));
    // A single sample shows nothing in a block that shows nothing. A pre-integrated one
    // stands for the segment from the previous lattice point, which may reach back
    // across block borders: the point is passed over only where the empty cube holds
    // every block that segment can touch, or where the segment runs from the empty cube
    // just passed straight into this empty block; otherwise it is sampled and only the
    // points after it in the cube are passed.
    vec3 blocksPerStep = sample_distance * occupancyScale;
    float passable = preintegrated ? 1.0 + ceil(max(blocksPerStep.x, max(blocksPerStep.y, blocksPerStep.z))) : 1.0;

    int i = 0;
    bool previousPassed = false;   // the lattice point before i was not sampled
    float passedUntil = offset;    // where the ray left the empty region passed last; -1 = sampled since
    bool done = false;
    while (!done) {
        float sampleEnd = 0.0;     // sample the points before this distance (at least one)
        int resume = 0;            // then go on from this point
        float resumeFrom = -1.0;   // where the empty cube passed up to there ends
        while (true) {
            float t = offset + float(i) * sample_distance;
            if (i >= max_samples || t > rayLength) {
                done = true;
                break;
            }
            vec3 block = clamp(floor(blockStart + blockDir * t), vec3(0.0), occupancySize - 1.0);
            vec2 cell = floor(texture3D(occupancy, (block + 0.5) / occupancySize).ra * 255.0 + 0.5);
            float empty = cell.x;
            // Where the ray leaves the cube of empty blocks around this one, or of blocks
            // that may show.
            float reach = max(empty + cell.y, 1.0);
            vec3 leave = (block + mix(vec3(1.0 - reach), vec3(reach), towards) - blockStart) / blockDir;
            float beyond = min(leave.x, min(leave.y, leave.z));
            // The first lattice point at or past that.
            int next = max(i + 1, int(ceil((beyond - offset) / sample_distance)));
            vec3 entered = floor(blockStart + blockDir * (passedUntil + 1e-3 * sample_distance));
            if (empty >= passable || (empty > 0.0 && passedUntil >= 0.0 && all(equal(entered, block)))) {
                i = next;
                previousPassed = true;
                passedUntil = beyond;
                continue;
            }
            sampleEnd = empty > 0.0 ? t : beyond;
            resume = empty > 0.0 ? next : 0;
            resumeFrom = beyond;
            break;
        }
        if (done)
            break;

        if (preintegrated && previousPassed)
            previous = intensityAt(start + dir * (offset + float(i - 1) * sample_distance));
        while (true) {
            float t = offset + float(i) * sample_distance;
            if (i >= max_samples || t > rayLength || result.a > kOpaque) {
                done = true;
                break;
            }
            vec3 position = start + dir * t;
            float value = intensityAt(position);
            vec4 c = classify(previous, value, preintegrated);
            previous = value;
            // Front to back: the opacity gathered so far hides that share of this sample.
            float share = (1.0 - result.a) * c.a;
            if (share > strongestShare) {
                strongestShare = share;
                strongest = position;
            }
            result += (1.0 - result.a) * c;
            ++i;
            if (offset + float(i) * sample_distance >= sampleEnd)
                break;
        }
        previousPassed = resume > i;
        passedUntil = previousPassed ? resumeFrom : -1.0;
        i = max(i, resume);
    }
    return result;
}

// Blinn-Phong with the intensity gradient as normal; two-sided, since the camera may
// look at a surface from inside the body. Takes and returns premultiplied colour.
vec3 shade(vec3 colour, float alpha, vec3 position)
{
    // Central differences over at least one texel, and over a whole step where steps are
    // longer: the lit sample may lie up to a step from the surface it stands for.
    vec3 tc = position * texScaleFactors;
    vec3 reach = max(vec3(dX.x, dY.y, dZ.z), sample_distance * texScaleFactors);
    // In a loop: a software renderer runs the straight code of a branch for every pixel
    // of a group, lit or not, but leaves a loop after one pass when none is lit.
    vec3 difference = vec3(0.0);
    for (int a = 0; a < 3; ++a) {
        vec3 axis = vec3(equal(ivec3(a), ivec3(0, 1, 2)));
        vec3 offset = axis * reach;
        difference += axis * (intensityAtTexel(tc + offset) - intensityAtTexel(tc - offset));
    }
    // Per object-space unit, so that anisotropic voxels tilt the normal correctly.
    vec3 gradient = difference * texScaleFactors / reach;
    float magnitude = length(gradient);
    if (magnitude < 1e-4)
        return colour;             // homogeneous region: no surface to light
    vec3 n = -gradient / magnitude;
    vec3 l = normalize(lightPos - position);
    vec3 h = normalize(l + normalize(eye - position));
    float diffuse = abs(dot(n, l));
    float specular = pow(abs(dot(n, h)), kShininess);
    // A highlight never makes a pixel brighter than it is opaque.
    return min(colour * (kAmbient + kDiffuse * diffuse) + alpha * kSpecular * specular, vec3(alpha));
}

// The strongest sample lies up to one step behind the surface it stands for; lighting
// it there bands the surface with the step pattern. Bisect back towards the previous
// sample for where the opacity rises to half of the sample's, and light that point.
vec3 surfaceNear(vec3 position, vec3 dir)
{
    float target = 0.5 * lookup(intensityAt(position)).a;
    vec3 behind = position;
    vec3 before = position - dir * sample_distance;
    for (int i = 0; i < 5; ++i) {
        vec3 middle = 0.5 * (before + behind);
        if (lookup(intensityAt(middle)).a >= target)
            behind = middle;
        else
            before = middle;
    }
    return behind;
}

void main()
{
    lookupScale = (transferFunctionSize - 1.0) / transferFunctionSize;
    lookupBias = 0.5 / transferFunctionSize;
    preintScale = (preintSize - 1.0) / preintSize;
    preintBias = 0.5 / preintSize;
    vec2 pixel = gl_TexCoord[0].st;
    vec4 direction = texture2D(ray_dirTex, pixel);
    float rayLength = direction.a;
    vec4 result = vec4(0.0);

    if (rayLength > 0.0) {
        vec3 start = texture2D(ray_start, pixel).rgb;
        vec3 dir = normalize(direction.rgb);
        float offset = 0.0;
        if (useJitter != 0)
            offset = texture2D(jitter, pixel * tileSize).r * sample_distance;

        // A software renderer may run both sides of a branch, but it leaves a loop as soon
        // as no pixel needs it: so one march per classification rather than a branch in
        // every step.
        vec3 strongest;
        if (usePreint != 0)
            result = march(start, dir, rayLength, offset, true, strongest);
        else
            result = march(start, dir, rayLength, offset, false, strongest);

        // Lit once per ray, where it contributes most: a gradient in every step would
        // cost six more volume reads per step, and a layer shows one kind of surface, so
        // one normal per pixel looks close to per-step lighting at a fraction of the cost.
        if (useShading != 0 && result.a > 0.0)
            result.rgb = shade(result.rgb, result.a, surfaceNear(strongest, dir));
    }
    gl_FragColor = result;
}
