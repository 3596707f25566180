// SWF writer benchmarks.
//
// WriteMovie200MB: a movie referencing 100 in-memory JPEG streams of 2 MB each (DefineBitsJPEG2
// with a bitmap-filled shape, placement and frame per picture) written to disk. The payload
// travels as referenced blocks, so the peak resident size stays near the payload itself.
//
// LosslessDeflate/<picture>/<level> and LosslessZlib9/<picture>: the compression of
// DefineBitsLossless pixels (4 bytes per pixel) with libdeflate at levels 1 to 12 against
// zlib's compress2 at level 9, on photographs (JPEGs made by ImageMagick's plasma generator,
// decoded again; a procedural picture when `convert` is missing) and on flat graphics. Counters:
// compressed bytes and the ratio to the input; the rate is input MB/s.
#include "engine/engine_namespace.h"
#include "swf/swf_bitmaps.h"
#include "swf/swf_shapes.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace kestrova::engine;

namespace {

using Bytes = std::vector<uint8_t>;

double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

std::string TempPath(const std::string& name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/kestrova-bench-" +
           std::to_string(getpid()) + "-" + name;
}

// ---- Writing a movie with 200 MB of referenced JPEG payload ----------------------------------

constexpr int kPictures = 100;
constexpr uint32_t kJpegBytes = 2u << 20;

// JPEG-like buffers: SOI, incompressible bytes, EOI. Their content is never examined.
const std::vector<Bytes>& JpegPayloads() {
    static std::vector<Bytes> payloads = [] {
        std::vector<Bytes> out(kPictures, Bytes(kJpegBytes));
        uint32_t seed = 1;
        for (Bytes& jpeg : out) {
            for (uint8_t& b : jpeg) {
                seed = seed * 1664525u + 1013904223u;
                b = static_cast<uint8_t>(seed >> 24);
            }
            jpeg[0] = 0xFF, jpeg[1] = 0xD8;
            jpeg[kJpegBytes - 2] = 0xFF, jpeg[kJpegBytes - 1] = 0xD9;
        }
        return out;
    }();
    return payloads;
}

void AddPicture(CSwfMovie& movie, const Bytes& jpeg) {
    const uint16_t bitmapId = movie.NewId();
    movie.AddTag(std::make_unique<CSwfDefineBitsJPEG2>(bitmapId, jpeg.data(),
                                                       static_cast<uint32_t>(jpeg.size())));
    const uint16_t shapeId = movie.NewId();
    auto shape = std::make_unique<CSwfDefineShape>(shapeId, CSwfRect(0, 0, 640 * 20, 480 * 20));
    shape->AddFillStyle(CSwfBitmapFill{.bitmapId = bitmapId,
                                       .matrix = {.scale = CSwfMatrix::Terms{20 << 16, 20 << 16}}});
    shape->AddRecord(CSwfStyleChangeRecord{
        .moveTo = CSwfStyleChangeRecord::Point{0, 0}, .fillStyle1 = 1, .lineStyle = 0});
    shape->AddRecord(CSwfStraightEdgeRecord{640 * 20, 0});
    shape->AddRecord(CSwfStraightEdgeRecord{0, 480 * 20});
    shape->AddRecord(CSwfStraightEdgeRecord{-640 * 20, 0});
    shape->AddRecord(CSwfStraightEdgeRecord{0, -480 * 20});
    shape->AddRecord(CSwfEndShapeRecord{});
    movie.AddTag(std::move(shape));
    movie.AddTag(std::make_unique<CSwfPlaceObject2>(
        CSwfPlacement{.depth = 1, .characterId = shapeId, .matrix = CSwfMatrix{}}));
    movie.AddTag(std::make_unique<CSwfShowFrame>());
    movie.AddTag(std::make_unique<CSwfRemoveObject2>(1));
}

void BM_WriteMovie200MB(benchmark::State& state) {
    const std::vector<Bytes>& payloads = JpegPayloads();
    double payloadMB = kPictures * (kJpegBytes / 1048576.0);
    double rssBefore = PeakRssMB();
    std::string path = TempPath("movie.swf");
    for (auto _ : state) {
        CSwfMovie movie;
        for (const Bytes& jpeg : payloads) {
            AddPicture(movie, jpeg);
        }
        if (movie.WriteFile(path.c_str(), 640 * 20, 480 * 20, 12) != 1) {
            state.SkipWithError("WriteFile failed");
            break;
        }
    }
    remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPictures * kJpegBytes);
    state.counters["payload_MB"] = payloadMB;
    state.counters["rss_before_MB"] = rssBefore;
    state.counters["peak_rss_MB"] = PeakRssMB();
    state.counters["peak_over_payload"] = PeakRssMB() / payloadMB;
}
BENCHMARK(BM_WriteMovie200MB)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// ---- Deflate level for lossless bitmaps --------------------------------------------------------

constexpr int kWidth = 1600, kHeight = 1200;

struct Picture {
    std::string name;
    Bytes pixels; // 4 bytes per pixel: a first byte (255), then red, green, blue
};

Bytes ToSwfPixels(const Bytes& rgb) {
    Bytes out(rgb.size() / 3 * 4);
    for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
        out[j] = 0xFF;
        out[j + 1] = rgb[i];
        out[j + 2] = rgb[i + 1];
        out[j + 3] = rgb[i + 2];
    }
    return out;
}

// Pixels of a picture made by ImageMagick: `recipe` produces the picture, which is stored as
// a JPEG first when `asJpeg` is set (photographs), then read back as raw RGB. Empty when
// `convert` is not available.
Bytes ConvertedPicture(const std::string& recipe, const std::string& name, bool asJpeg) {
    std::string raw = TempPath(name + ".rgb");
    std::string jpeg = TempPath(name + ".jpg");
    std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    std::string command = "convert -seed 7 -size " + size + " " + recipe + " -resize '" + size +
                          "!' " +
                          (asJpeg ? "-quality 90 '" + jpeg + "' && convert '" + jpeg + "' " : "") +
                          "-depth 8 'rgb:" + raw + "' 2>/dev/null";
    Bytes rgb;
    if (system(command.c_str()) == 0) {
        FILE* f = fopen(raw.c_str(), "rb");
        if (f != nullptr) {
            rgb.resize(static_cast<size_t>(kWidth) * kHeight * 3);
            if (fread(rgb.data(), 1, rgb.size(), f) != rgb.size()) {
                rgb.clear();
            }
            fclose(f);
        }
    }
    remove(raw.c_str());
    remove(jpeg.c_str());
    return rgb;
}

// Smooth fields with fine grain, standing in for a photograph without ImageMagick.
Bytes ProceduralPhoto() {
    Bytes rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t seed = 99;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            int grain = static_cast<int>(seed >> 28) - 8;
            double u = x / 160.0, v = y / 120.0;
            int base[3] = {static_cast<int>(128 + 90 * std::sin(u) * std::cos(v * 0.7)),
                           static_cast<int>(128 + 80 * std::sin(u * 0.5 + v)),
                           static_cast<int>(100 + 60 * std::cos(u * 0.3 - v * 0.9))};
            for (int c = 0; c < 3; ++c) {
                rgb[(static_cast<size_t>(y) * kWidth + x) * 3 + c] =
                    static_cast<uint8_t>(std::clamp(base[c] + grain, 0, 255));
            }
        }
    }
    return rgb;
}

// Flat graphics: solid panels, thin rules and a few soft gradients, as in charts or
// screenshots.
Bytes FlatGraphic() {
    Bytes rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
            int panel = (x / 200 + y / 150 * 3) % 7;
            static const uint8_t colours[7][3] = {{255, 255, 255}, {30, 60, 120}, {240, 240, 235},
                                                  {200, 40, 40},   {250, 200, 0}, {60, 160, 80},
                                                  {245, 245, 250}};
            p[0] = colours[panel][0], p[1] = colours[panel][1], p[2] = colours[panel][2];
            if (x % 200 < 2 || y % 150 < 2) {
                p[0] = p[1] = p[2] = 90; // rules
            }
            if (panel == 2) {
                p[2] = static_cast<uint8_t>(180 + y % 150 * 75 / 150); // title bar gradient
            }
            if ((x / 7 + y / 3) % 23 == 0 && panel == 0) {
                p[0] = p[1] = p[2] = 20; // text-like marks
            }
        }
    }
    return rgb;
}

constexpr int kPictureCount = 5;

// Two photographs and three flat graphics; without ImageMagick only a procedural photograph
// and the procedural panels remain.
const std::vector<Picture>& Pictures() {
    static std::vector<Picture> pictures = [] {
        std::vector<Picture> out;
        auto add = [&out](const std::string& name, const Bytes& rgb) {
            if (!rgb.empty()) {
                out.push_back({name, ToSwfPixels(rgb)});
            }
        };
        add("photo_plasma", ConvertedPicture("plasma:fractal", "plasma", true));
        add("photo_grain",
            ConvertedPicture("plasma:fractal -attenuate 2 +noise Gaussian", "grain", true));
        if (out.empty()) {
            add("photo_procedural", ProceduralPhoto());
        }
        add("flat_logo", ConvertedPicture("logo:", "logo", false));
        add("flat_drawing",
            ConvertedPicture("xc:white -stroke navy -strokewidth 3 -fill orange -draw 'circle "
                             "400,400 400,700' -fill seagreen -draw 'rectangle 900,200 1400,900' "
                             "-fill none -stroke red -draw 'bezier 100,1100 600,600 1000,1150 "
                             "1550,700'",
                             "drawing", false));
        add("flat_panels", FlatGraphic());
        return out;
    }();
    return pictures;
}

void Report(benchmark::State& state, const Picture& picture, size_t compressed) {
    state.SetLabel(picture.name);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * picture.pixels.size());
    state.counters["bytes"] = static_cast<double>(compressed);
    state.counters["ratio"] = static_cast<double>(compressed) / picture.pixels.size();
}

void BM_LosslessDeflate(benchmark::State& state) {
    const Picture& picture = Pictures()[state.range(0)];
    int level = static_cast<int>(state.range(1));
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_zlib_compress_bound(compressor, picture.pixels.size()));
    size_t size = 0;
    for (auto _ : state) {
        size = libdeflate_zlib_compress(compressor, picture.pixels.data(), picture.pixels.size(),
                                        out.data(), out.size());
        benchmark::DoNotOptimize(size);
    }
    libdeflate_free_compressor(compressor);
    Report(state, picture, size);
}

void BM_LosslessZlib9(benchmark::State& state) {
    const Picture& picture = Pictures()[state.range(0)];
    uLong n = picture.pixels.size();
    Bytes out(n + n / 100 + 12);
    uLongf size = 0;
    for (auto _ : state) {
        size = out.size();
        compress2(out.data(), &size, picture.pixels.data(), n, 9);
        benchmark::DoNotOptimize(size);
    }
    Report(state, picture, size);
}

void PictureArgs(benchmark::internal::Benchmark* b, bool withLevels) {
    for (int picture = 0; picture < kPictureCount; ++picture) {
        if (withLevels) {
            for (int level = 1; level <= 12; ++level) {
                b->Args({picture, level});
            }
        } else {
            b->Args({picture});
        }
    }
}

// Registered for every picture slot; slots left empty without ImageMagick are skipped.
void BM_LosslessDeflateChecked(benchmark::State& state) {
    if (static_cast<size_t>(state.range(0)) >= Pictures().size()) {
        state.SkipWithError("picture not available");
        return;
    }
    BM_LosslessDeflate(state);
}

void BM_LosslessZlib9Checked(benchmark::State& state) {
    if (static_cast<size_t>(state.range(0)) >= Pictures().size()) {
        state.SkipWithError("picture not available");
        return;
    }
    BM_LosslessZlib9(state);
}

BENCHMARK(BM_LosslessZlib9Checked)
    ->Name("LosslessZlib9")
    ->Apply([](benchmark::internal::Benchmark* b) { PictureArgs(b, false); })
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3);
BENCHMARK(BM_LosslessDeflateChecked)
    ->Name("LosslessDeflate")
    ->Apply([](benchmark::internal::Benchmark* b) { PictureArgs(b, true); })
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.3);

} // namespace

BENCHMARK_MAIN();
