// Milliseconds per ray-cast render of the game's three layers (skin with pre-integration,
// skeleton, organ in the level-0 box) at 416 x 642 from the start camera, against a bare
// baseline program that marches the same rays with the same step, reads the volume and
// adds it up: no classification, no lighting, no early termination. The skeleton's rays
// are the skin's, so the body has one baseline. The ratios printed at the end show what
// classification and lighting cost and what early termination saves.
//
// Uses the build's run folder (build/data: taa.mhd, the tfn files) when the volume is
// there; otherwise a synthetic signed 16-bit body of about the same size with stand-in
// transfer functions. Starts its own Xvfb. By default each case runs 3 times in random
// order and medians are compared.
#include "classification/PreintTransferFunction1D.h"
#include "gl/GLSLProgram.h"
#include "gl/GLTexture.h"
#include "render/BoundingGeometry.h"
#include "render/GLSLRaycaster.h"
#include "render/OccupancyGrid.h"
#include "tools/session/PrivateGLWindow.h"
#include "volume/MetaImageLoader.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kWidth = 416, kHeight = 642;   // one window half
constexpr const char* kLayerNames[3] = {"skin", "skeleton", "organ"};
constexpr const char* kTfnFiles[3] = {"tfn/CT Skin.tfn", "tfn/CT Skin 2.tfn", "tfn/Heart.tfn"};
const double kOrganBoxMin[3] = {0.06, 0.09, 0.01};         // level 0
const double kOrganBoxMax[3] = {0.591164, 0.451164, 0.47};

std::string dataPath(const char* name) { return std::string(QUILLET_DATA_DIR) + "/" + name; }

// The output of the loaders and shader builds would drown the results.
struct QuietStdout {
    std::ostringstream sink;
    std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
    ~QuietStdout() { std::cout.rdbuf(saved); }
};

struct Volume {
    int dims[3] = {0, 0, 0};
    float spacing[3] = {1, 1, 1};
    unsigned type = GL_SHORT;
    std::vector<unsigned char> bytes;   // as loaded; each caster stretches its own copy
    std::string source;
};

bool loadGameVolume(Volume& v)
{
    std::error_code error;
    if (std::filesystem::file_size(dataPath("taa.mhd"), error) == 0 || error)
        return false;
    VolumeRecord r{};
    r.voxels = nullptr;
    r.spacing[0] = r.spacing[1] = r.spacing[2] = 1.0f;
    {
        QuietStdout quiet;
        loadMetaImage(r, dataPath("taa.mhd"));
    }
    if (!r.voxels)
        return false;
    const size_t count = size_t(r.extent[0]) * r.extent[1] * r.extent[2];
    const size_t voxelBytes = r.voxelType == GL_UNSIGNED_BYTE ? 1 : 2;
    for (int a = 0; a < 3; ++a) {
        v.dims[a] = r.extent[a];
        v.spacing[a] = r.spacing[a];
    }
    v.type = r.voxelType;
    v.bytes.assign(r.voxels, r.voxels + count * voxelBytes);
    delete[] r.voxels;
    v.source = "build/data/taa.mhd";
    return true;
}

// Hounsfield units of a crude trunk lying along z: air, skin over fat over soft tissue,
// lungs in the upper half, a spine, ribs, a pelvis and a contrast-filled heart.
void makeSyntheticBody(Volume& v)
{
    const int X = 160, Y = 128, Z = 256;
    v.dims[0] = X, v.dims[1] = Y, v.dims[2] = Z;
    v.spacing[0] = v.spacing[1] = v.spacing[2] = 2.0f;
    v.type = GL_SHORT;
    v.bytes.resize(size_t(X) * Y * Z * 2);
    short* hu = reinterpret_cast<short*>(v.bytes.data());
    std::mt19937 noise(7);
    std::uniform_int_distribution<int> jitter(-12, 12);
    auto inside = [](double dx, double dy, double dz, double a, double b, double c) {
        return dx * dx / (a * a) + dy * dy / (b * b) + dz * dz / (c * c) < 1.0;
    };
    for (int z = 0; z < Z; ++z)
        for (int y = 0; y < Y; ++y)
            for (int x = 0; x < X; ++x) {
                const double dx = x - 80.0, dy = y - 62.0;
                const double a = 70 - 4 * std::sin(z / 40.0), b = 50.0;
                const double r = std::sqrt(dx * dx / (a * a) + dy * dy / (b * b)); // 1 at the skin
                double value = -1024;
                if (r < 1.0 && z > 4 && z < Z - 4) {
                    value = r > 0.96 ? 30 : (r > 0.85 ? -100 : 40);                // skin, fat, tissue
                    if (z > 30 && z < 125 && (inside(x - 52, dy, z - 78, 22, 30, 45) ||
                                              inside(x - 108, dy, z - 78, 22, 30, 45)))
                        value = -850;                                               // lungs
                    if (inside(x - 86, y - 72, z - 100, 20, 18, 22))
                        value = 350;                                                // heart
                    bool rib = z > 30 && z < 130 && z % 12 < 3 && r > 0.78 && r < 0.84 && dy < 30;
                    bool spine = inside(dx, y - 22, 0, 9, 9, 1) && z % 16 > 2;
                    bool pelvis = z > 190 && z < 232 && r > 0.62 && r < 0.72 && dy < 20;
                    if (rib || spine || pelvis)
                        value = 700;                                                // bone
                    value += jitter(noise);
                }
                hu[(size_t(z) * Y + y) * X + x] = short(value);
            }
    hu[0] = 3071;  // the full CT range, as a scanner's table marker would give
    v.source = "synthetic body 160 x 128 x 256 (taa.mhd not generated yet)";
}

using Point = Classification::ShapePoint;
using Colour = Classification::ShapeColour;

void setTrapezoid(Classification::PreintTransferFunction1D& tf, const char* name, const Point (&p)[4],
                  const Colour (&c)[3])
{
    tf.addShape(name, "VornTrapez");
    Classification::TransferFunctionGeometry* shape = tf.getShape(name);
    for (int i = 0; i < 3; ++i)
        shape->colours[i] = c[i];
    shape->setPoints({p[0], p[1], p[2], p[3]});
}

// Stand-ins for the .tfn files in normalised intensity ((HU + 1024) / 4095): a faint
// shell where air meets skin (-600 to -200 HU), opaque ivory bone.
void fillStandIn(Classification::PreintTransferFunction1D& tf, int layer)
{
    if (layer == 0)
        setTrapezoid(tf, "Skin", {{0.1f, 0}, {0.13f, 0.1f}, {0.17f, 0.1f}, {0.2f, 0}},
                     {{0.9f, 0.6f, 0.5f, 1}, {0.95f, 0.7f, 0.6f, 1}, {1, 0.8f, 0.7f, 1}});
    else if (layer == 1)
        setTrapezoid(tf, "Bone", {{0.3f, 0}, {0.38f, 0.9f}, {0.99f, 0.9f}, {1, 0}},
                     {{0.9f, 0.85f, 0.7f, 1}, {1, 0.95f, 0.85f, 1}, {1, 1, 0.95f, 1}});
    tf.computeVisibleRange();
    tf.update();
}

// Level 0's organ: the "test" trapezoid of preset 0 replaces the file's shape.
void applyPreset0(Classification::PreintTransferFunction1D& tf)
{
    tf.removeShape("Heart");
    tf.removeShape("test");
    setTrapezoid(tf, "test", {{0.03f, 0}, {0.08f, 0.3f}, {0.2f, 0.3f}, {0.22f, 0}},
                 {{1.0f, 0.2f, 0.2f, 0.5f}, {0.7f, 0.3f, 0.4f, 0.5f}, {0.7f, 0.4f, 0.3f, 0.5f}});
    tf.computeVisibleRange();
    tf.update();
    tf.computePreintegration();
}

// Only marches: the same rays, step and sample count as a layer, one volume read per
// step, summed. What a layer costs beyond this is classification, shading and
// compositing; what it saves is early termination.
const char* kBaselineFragment = R"(#version 120
uniform sampler2D ray_start;
uniform sampler2D ray_dirTex;
uniform sampler3D volume;
uniform vec3 texScaleFactors;
uniform float sample_distance = 0.004;
uniform int max_samples = 600;
void main()
{
    vec2 pixel = gl_TexCoord[0].st;
    vec4 direction = texture2D(ray_dirTex, pixel);
    float sum = 0.0;
    if (direction.a > 0.0) {
        vec3 start = texture2D(ray_start, pixel).rgb;
        vec3 dir = normalize(direction.rgb);
        for (int i = 0; i < max_samples; ++i) {
            float t = float(i) * sample_distance;
            if (t > direction.a)
                break;
            sum += texture3D(volume, (start + dir * t) * texScaleFactors).r;
        }
    }
    gl_FragColor = vec4(sum * sample_distance);
}
)";
const char* kBaselineVertex = R"(#version 120
void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }
)";

struct Layer {
    std::unique_ptr<Classification::PreintTransferFunction1D> tf;
    std::unique_ptr<GLSLRaycaster> caster;
    std::unique_ptr<GLSLRaycaster> baseline;  // same rays, bare march; skin (for the body) and organ
    double covered = 0;                       // share of pixels the layer paints
};

struct Scene {
    Volume volume;
    Layer layers[3];
};

void giveVolume(GLSLRaycaster& caster, const Volume& v)
{
    std::vector<unsigned char> copy = v.bytes;
    if (v.type == GL_UNSIGNED_BYTE)
        caster.setVolume(copy.data(), v.dims[0], v.dims[1], v.dims[2], v.spacing[0], v.spacing[1], v.spacing[2]);
    else if (v.type == GL_UNSIGNED_SHORT)
        caster.setVolume(reinterpret_cast<unsigned short*>(copy.data()), v.dims[0], v.dims[1], v.dims[2],
                         v.spacing[0], v.spacing[1], v.spacing[2]);
    else
        caster.setVolume(reinterpret_cast<short*>(copy.data()), v.dims[0], v.dims[1], v.dims[2],
                         v.spacing[0], v.spacing[1], v.spacing[2]);
}

// The game's set-up of one layer's caster; `baseline` swaps in the bare march.
std::unique_ptr<GLSLRaycaster> makeCaster(Layer& layer, const Volume& volume, bool baseline)
{
    auto caster = std::make_unique<GLSLRaycaster>();
    if (baseline)
        buildProgram(caster->raycastProgram, caster->raycastVertex, caster->raycastFragment,
                     kBaselineVertex, kBaselineFragment);
    else
        buildProgramFromFiles(caster->raycastProgram, caster->raycastVertex, caster->raycastFragment,
                              dataPath("raycast.vert").c_str(), dataPath("raycast.frag").c_str());
    RenderParameters& p = caster->params;
    p.sampleDistance = 0.009f;
    p.maxSamples = 1024;
    p.useJitter = false;
    p.transferFunction = layer.tf.get();
    p.maxLevel[0] = p.maxLevel[1] = p.maxLevel[2] = 5;
    p.useBlocks = true;
    caster->targetWidth = kWidth;
    caster->targetHeight = kHeight;
    caster->createTargets();
    giveVolume(*caster, volume);
    return caster;
}

void renderLayer(GLSLRaycaster& caster, int layer)
{
    RenderParameters& p = caster.params;
    p.useBlocks = false;
    p.usePreint = layer == 0;
    if (layer == 2)
        p.sampleDistance = 1.0f / 600.0f;
    p.lightPos[0] = 1;
    p.lightPos[1] = 0;
    p.lightPos[2] = 0;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    gluLookAt(1, 0, 0, 0, 0, 0, 0, 1, 0);
    if (layer == 2)
        glTranslatef(0, 0.7f, 0);   // level 0's organ pose
    glDisable(GL_BLEND);
    caster.render();
    glPopMatrix();
}

double coveredShare(const GLSLRaycaster& caster)
{
    std::vector<float> rgba(size_t(kWidth) * kHeight * 4);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, caster.resultTexture->handle);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, rgba.data());
    size_t painted = 0;
    for (size_t i = 3; i < rgba.size(); i += 4)
        painted += rgba[i] > 0.01f;
    return double(painted) / (double(kWidth) * kHeight);
}

Scene& scene()
{
    static Scene* s = [] {
        auto* s = new Scene();
        if (!loadGameVolume(s->volume))
            makeSyntheticBody(s->volume);
        const bool ownFiles = s->volume.source == "build/data/taa.mhd";
        QuietStdout quiet;
        for (int i = 0; i < 3; ++i) {
            Layer& layer = s->layers[i];
            layer.tf = std::make_unique<Classification::PreintTransferFunction1D>();
            layer.tf->setTableSize(256);
            layer.tf->setTextureUnit(2);
            layer.tf->preintTexture.unit = 5;
            if (!(ownFiles && layer.tf->loadFromFile(dataPath(kTfnFiles[i]))))
                fillStandIn(*layer.tf, i);
            layer.tf->computePreintegration();
            // As the game does: the lookup table shrinks before the volume arrives, the
            // pre-integration table keeps its 256 entries.
            layer.tf->setTableSize(128);
            layer.caster = makeCaster(layer, s->volume, false);
            if (i != 1)  // the skeleton's rays are the skin's
                layer.baseline = makeCaster(layer, s->volume, true);
            if (i == 2) {
                applyPreset0(*layer.tf);
                for (GLSLRaycaster* c : {layer.caster.get(), layer.baseline.get()}) {
                    std::copy(kOrganBoxMin, kOrganBoxMin + 3, c->params.clipMin);
                    std::copy(kOrganBoxMax, kOrganBoxMax + 3, c->params.clipMax);
                }
            }
        }
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(100, double(kWidth) / kHeight, 0.001, 5.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // The first draw of a program compiles its code in the driver: not part of a frame.
        for (int i = 0; i < 3; ++i) {
            renderLayer(*s->layers[i].caster, i);
            if (s->layers[i].baseline)
                renderLayer(*s->layers[i].baseline, i);
            glFinish();
            s->layers[i].covered = coveredShare(*s->layers[i].caster);
        }
        return s;
    }();
    return *s;
}

void BM_Layer(benchmark::State& state, int layer, bool baseline)
{
    Layer& l = scene().layers[layer];
    GLSLRaycaster& caster = baseline ? *l.baseline : *l.caster;
    for (auto _ : state) {
        renderLayer(caster, layer);
        glFinish();
    }
    state.counters["covered"] = l.covered;
    if (!baseline && caster.occupancy) {
        // Share of the octree's leaves that may show through the layer's table.
        const std::vector<unsigned char>& cells = caster.occupancy->cells;
        state.counters["shows"] = double(std::count(cells.begin(), cells.end(), 0)) / double(cells.size());
    }
    state.SetLabel(scene().volume.source);
}

// Rebuilding a layer's occupancy grid: as at start-up (the tree is new), and after its
// table changed (the organ's shape between level 0's and the file's, as a level change
// does; the rasterisation of the table itself is not timed).
void BM_Occupancy(benchmark::State& state, int layer, bool tableChange)
{
    Layer& l = scene().layers[layer];
    GLSLRaycaster& caster = *l.caster;
    const bool preint = layer == 0;
    int flip = 0, unchanged = 0;
    for (auto _ : state) {
        if (tableChange) {
            state.PauseTiming();
            if (flip++ % 2) {
                applyPreset0(*l.tf);
            } else {
                l.tf->removeShape("test");
                setTrapezoid(*l.tf, "test", {{0.3f, 0}, {0.35f, 0.8f}, {0.4f, 0.8f}, {0.45f, 0}},
                             {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}});
                l.tf->computeVisibleRange();
                l.tf->update();
            }
            state.ResumeTiming();
        } else {
            caster.occupancy->invalidate();
        }
        if (!caster.occupancy->update(caster.blockGeometry->root.get(), caster.blockGeometry->maxLevel,
                                      caster.scale, l.tf.get(), preint))
            ++unchanged;
        glFinish();
    }
    if (tableChange && flip % 2)
        applyPreset0(*l.tf);  // the organ layer is timed with level 0's shape
    state.counters["unchanged"] = unchanged;  // builds that found nothing to do: should be 0
}

// Prints each layer's time as a multiple of its baseline after the usual table; with
// --benchmark_repetitions the medians are compared.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // Keyed by the capture's name ("skin", "body_baseline", ...): the full name also
        // carries the run options.
        for (const Run& r : runs) {
            const std::string& f = r.run_name.function_name;
            const std::string name = f.substr(f.find('/') + 1);
            if (r.run_type == Run::RT_Iteration)
                milliseconds[name].push_back(r.GetAdjustedRealTime());
            else if (r.aggregate_name == "median")  // when only aggregates are reported
                milliseconds[name] = {r.GetAdjustedRealTime()};
        }
    }
    void printRatios()
    {
        if (milliseconds.empty())  // nothing ran: --benchmark_list_tests, a filter matching none
            return;
        std::printf("\nlayer      ms/render  baseline ms  ratio\n");
        const char* baselines[3] = {"body_baseline", "body_baseline", "organ_baseline"};
        for (int i = 0; i < 3; ++i) {
            const char* name = kLayerNames[i];
            double layer = median(name), base = median(baselines[i]);
            if (layer > 0 && base > 0)
                std::printf("%-10s %9.1f  %11.1f  %5.2f\n", name, layer, base, layer / base);
        }
    }

private:
    double median(const std::string& name)
    {
        std::vector<double>& v = milliseconds[name];
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::map<std::string, std::vector<double>> milliseconds;
};

// Colour only on a terminal, unless --benchmark_color says otherwise: the console
// reporter that the library picks by itself does the same, a reporter made here does not.
benchmark::ConsoleReporter::OutputOptions outputOptions(int argc, char** argv)
{
    std::string colour = "auto";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_color=", 18) == 0)
            colour = argv[i] + 18;
    bool on = colour == "auto" ? isatty(STDOUT_FILENO) != 0 : colour == "true" || colour == "yes" || colour == "1";
    return on ? benchmark::ConsoleReporter::OO_ColorTabular : benchmark::ConsoleReporter::OO_Tabular;
}

} // namespace

#define QUILLET_LAYER_BENCH(name, layer, baseline) \
    BENCHMARK_CAPTURE(BM_Layer, name, layer, baseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5)
QUILLET_LAYER_BENCH(skin, 0, false);
QUILLET_LAYER_BENCH(skeleton, 1, false);
QUILLET_LAYER_BENCH(body_baseline, 0, true);
QUILLET_LAYER_BENCH(organ, 2, false);
QUILLET_LAYER_BENCH(organ_baseline, 2, true);
BENCHMARK_CAPTURE(BM_Occupancy, skin_startup, 0, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Occupancy, organ_startup, 2, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Occupancy, organ_table_change, 2, true)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    // Other processes share the processor: by default repeat, interleave the runs of the
    // layers and their baselines at random and compare medians. Three short repetitions
    // keep a run near 15 s. Options given on the command line come later and win.
    std::vector<char*> args = {argv[0]};
    char repetitions[] = "--benchmark_repetitions=3";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.end(), {repetitions, interleave, aggregates});
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    const auto output = outputOptions(count, args.data());
    benchmark::Initialize(&count, args.data());
    session::PrivateGLWindow window(count, args.data(), 832, 642, "quillet ray caster bench");
    if (!window.ready())
        return 1;

    RatioReporter reporter(output);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
