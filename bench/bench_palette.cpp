// Lossless bitmap size with and without the colour table, on pictures of few colours and on
// ones of many: a photo quantised to 64 and to 256 colours (palette PNGs as image editors
// write them), ImageMagick's logo, a drawn bar chart, the README's window screenshot as it is
// and quantised to 256 colours, and an unquantised photo (which keeps 4-byte pixels: its time
// shows what looking for a colour table costs when there is none). For each picture the
// benchmark times the layout and compression of the bitmap (as the converter does it) and
// reports the compressed bytes of 4-byte pixels (every picture before the colour table) and
// of the layout chosen now. Pictures are made with ImageMagick into a temporary folder.
#include "engine/engine_namespace.h"
#include "media/lossless_pixels.h"
#include "media/rgb_image.h"
#include "swf/swf_bitmaps.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

using namespace kestrova::engine;

namespace {

struct Sample {
    const char* name;
    const char* convert; // ImageMagick's input and options; "%" stands for the source folder
};

const Sample kSamples[] = {
    {"photo-64-colours", "-size 800x600 -seed 7 plasma:fractal -blur 0x1 -colors 64"},
    {"photo-256-colours", "-size 800x600 -seed 7 plasma:fractal -blur 0x1 -colors 256"},
    {"logo", "logo:"},
    {"bar-chart",
     "-size 800x500 xc:white -fill none -stroke '#404040' -draw 'line 60,450 780,450' -draw "
     "'line 60,20 60,450' -stroke none -fill '#4472c4' -draw 'rectangle 100,200 180,449' "
     "-fill '#ed7d31' -draw 'rectangle 260,120 340,449' -fill '#a5a5a5' -draw 'rectangle "
     "420,300 500,449' -fill '#ffc000' -draw 'rectangle 580,80 660,449' -fill black "
     "-font DejaVu-Sans -pointsize 18 -annotate +110+475 'North' -annotate +270+475 'East' "
     "-annotate +430+475 "
     "'South' -annotate +590+475 'West' -pointsize 24 -annotate +300+40 'Sales by region'"},
    {"ui-screenshot", "%/docs/window.png"},
    {"ui-screenshot-256-colours", "%/docs/window.png -colors 256"},
    {"photo", "-size 800x600 -seed 7 plasma:fractal -blur 0x1"},
};

std::string MakePicture(const Sample& sample) {
    static const std::string dir = [] {
        char path[] = "/tmp/kestrova-bench-palette-XXXXXX";
        return std::string(mkdtemp(path) != nullptr ? path : "/tmp");
    }();
    std::string options = sample.convert;
    if (size_t at = options.find('%'); at != std::string::npos) {
        options.replace(at, 1, KESTROVA_SOURCE_DIR);
    }
    const std::string path = dir + "/" + sample.name + ".png";
    const std::string command = "convert " + options + " -depth 8 png24:" + path;
    return std::system(command.c_str()) == 0 ? path : "";
}

// Compressed bytes of the picture as 4-byte pixels (a zero byte, then red, green, blue).
uint32_t FourBytePixelsSize(const RgbImage& image) {
    const size_t count = size_t{image.Width()} * image.Height();
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[count * 4]);
    for (size_t i = 0; i < count; ++i) {
        pixels[4 * i] = 0;
        std::memcpy(&pixels[4 * i + 1], image.Pixels() + 3 * i, 3);
    }
    const CSwfLosslessResult made = MakeDefineBitsLossless(
        1, {.width = image.Width(), .height = image.Height(), .pixels = pixels.get()});
    return made.tag ? made.tag->CompressedLength() : 0;
}

void BM_Layout(benchmark::State& state, const Sample& sample) {
    const std::string path = MakePicture(sample);
    RgbImage source;
    if (path.empty() || source.LoadFile(path) != 0) {
        state.SkipWithError("cannot make the picture (is ImageMagick installed?)");
        return;
    }
    uint32_t bytes = 0, colours = 0;
    double layoutSeconds = 0;
    for (auto _ : state) {
        RgbImage image;
        image.CopyFrom(source);
        const auto start = std::chrono::steady_clock::now();
        const LosslessPixels pixels = TakeLosslessPixels(image);
        layoutSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint8_t* table = pixels.block.get();
        const CSwfLosslessResult made =
            MakeDefineBitsLossless(1, {.format = static_cast<uint8_t>(pixels.colours != 0 ? 3 : 5),
                                       .width = source.Width(),
                                       .height = source.Height(),
                                       .withAlpha = pixels.alpha,
                                       .colourTableSize = pixels.colours,
                                       .colourTable = table,
                                       .pixels = table + pixels.TableBytes()});
        bytes = made.tag ? made.tag->CompressedLength() : 0;
        colours = pixels.colours;
    }
    const uint32_t before = FourBytePixelsSize(source);
    state.counters["colours"] = colours;
    // The layout alone (colour search, table or 4-byte pixels), without the compression.
    state.counters["layout_ms"] = 1000 * layoutSeconds / static_cast<double>(state.iterations());
    state.counters["bytes_before"] = before;
    state.counters["bytes_now"] = bytes;
    state.counters["saved_pct"] = 100.0 * (before - double(bytes)) / before;
}

} // namespace

int main(int argc, char** argv) {
    for (const Sample& sample : kSamples) {
        benchmark::RegisterBenchmark(sample.name, BM_Layout, sample)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
