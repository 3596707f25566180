// Picture conversion speed against the plain codecs, on 50 photo-like pictures of 1632 x 1224
// (about 2 megapixels):
// - JPEG in, JPEG out at quality 70, one single movie through the engine, next to plain
//   libjpeg-turbo decoding plus encoding of the same files (same quality, subsampling and
//   optimized Huffman tables as our writer). Target: ours within 1.15 x the plain codec time.
// - PNG in, lossless out, one single movie, next to plain libpng decoding plus the deflate
//   compressor alone at our level, and, for comparison, zlib's compress2 at level 9.
// The pictures are made once with ImageMagick into /tmp/kestrova-bench-photos (or
// $KESTROVA_BENCH_PHOTOS) and reused. Run from a Release build; a summary with the ratios is
// printed after the benchmarks.
#include "bench_engine_run.h"
#include "engine/allocator_tuning.h"
#include "engine/convert_engine.h"
#include "engine/engine_namespace.h"
#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "swf/swf_bitmaps.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kestrova::engine;

namespace {

constexpr int kPhotoWidth = 1632;
constexpr int kPhotoHeight = 1224;
constexpr int kQuality = 70;

int PhotoCount() {
    const char* text = std::getenv("KESTROVA_BENCH_COUNT"); // fewer for quick trials
    int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : 50;
}

std::string PhotoDirectory() {
    const char* dir = std::getenv("KESTROVA_BENCH_PHOTOS");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp/kestrova-bench-photos";
}

bool NonEmptyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t block[1 << 16];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
            bytes.insert(bytes.end(), block, block + got);
        }
        std::fclose(file);
    }
    return bytes;
}

struct PhotoSet {
    std::vector<std::string> jpegPaths, pngPaths;
    std::vector<std::vector<uint8_t>> jpegBytes, pngBytes;
    bool ok = false;
};

// Plasma fractals with a slight blur look like photographs to the codecs: smooth areas, fine
// detail, no flat runs. Each picture is written as a 4:2:0 JPEG at quality 90, as cameras do,
// and as a 24-bit PNG of the same pixels.
const PhotoSet& Photos() {
    static const PhotoSet set = [] {
        PhotoSet s;
        std::string dir = PhotoDirectory();
        mkdir(dir.c_str(), 0755);
        for (int i = 0; i < PhotoCount(); ++i) {
            char stem[64];
            snprintf(stem, sizeof stem, "/photo_%02d", i);
            std::string jpg = dir + stem + ".jpg", png = dir + stem + ".png";
            if (!NonEmptyFile(jpg) || !NonEmptyFile(png)) {
                std::string command = "convert -size " + std::to_string(kPhotoWidth) + "x" +
                                      std::to_string(kPhotoHeight) + " -seed " +
                                      std::to_string(1000 + i) +
                                      " plasma:fractal -blur 0x1 -depth 8 -write 'PNG24:" + png +
                                      "' -sampling-factor 2x2,1x1,1x1 -quality 90 '" + jpg + "'";
                fprintf(stderr, "making %s\n", jpg.c_str());
                if (std::system(command.c_str()) != 0 || !NonEmptyFile(jpg) || !NonEmptyFile(png)) {
                    fprintf(stderr, "cannot make the pictures (is ImageMagick installed?)\n");
                    return s;
                }
            }
            s.jpegPaths.push_back(jpg);
            s.pngPaths.push_back(png);
            s.jpegBytes.push_back(ReadAll(jpg));
            s.pngBytes.push_back(ReadAll(png));
        }
        s.ok = true;
        return s;
    }();
    return set;
}

// Best (shortest) wall and process CPU time of one pass over all pictures, per benchmark, for
// the summary. CPU time (all threads: ours converts on the engine's worker) is the steadier
// figure on a machine shared with other work.
struct PassTimes {
    double wall = 0, cpu = 0;
};
std::map<std::string, PassTimes>& BestTimes() {
    static std::map<std::string, PassTimes> best;
    return best;
}
std::map<std::string, double>& OutputBytes() {
    static std::map<std::string, double> bytes;
    return bytes;
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class PassTimer {
public:
    explicit PassTimer(const char* name)
        : name(name), start(Clock::now()), cpuStart(ProcessCpuSeconds()) {}
    ~PassTimer() {
        PassTimes pass{std::chrono::duration<double>(Clock::now() - start).count(),
                       ProcessCpuSeconds() - cpuStart};
        auto [it, fresh] = BestTimes().emplace(name, pass);
        if (!fresh) {
            it->second.wall = std::min(it->second.wall, pass.wall);
            it->second.cpu = std::min(it->second.cpu, pass.cpu);
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    const char* name;
    Clock::time_point start;
    double cpuStart;
};

// The subsampling our JPEG writer uses, read back from a small picture it writes.
int WriterSubsampling() {
    RgbImage image;
    image.Allocate(32, 32);
    std::vector<uint8_t> buffer(ISJpegBufferSize(32, 32));
    int length =
        image.WriteJpegToMemory(buffer.data(), static_cast<uint32_t>(buffer.size()), kQuality);
    int width = 0, height = 0, subsampling = -1, colorspace = 0;
    tjhandle handle = tjInitDecompress();
    if (length <= 0 ||
        tjDecompressHeader3(handle, buffer.data(), static_cast<unsigned long>(length), &width,
                            &height, &subsampling, &colorspace) != 0) {
        subsampling = -1;
    }
    tjDestroy(handle);
    return subsampling;
}

const char* SubsamplingName(int subsampling) {
    switch (subsampling) {
    case TJSAMP_444:
        return "4:4:4";
    case TJSAMP_422:
        return "4:2:2";
    case TJSAMP_420:
        return "4:2:0";
    case TJSAMP_GRAY:
        return "grey";
    default:
        return "other";
    }
}

// ---- Ours: one single movie through the engine ----------------------------------------------

std::string OutputDirectory() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kestrova-bench-out-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return dir;
}

// Converts the files into one movie; returns the movie's size, or -1 when an entry failed.
long long ConvertSingleMovie(const std::vector<std::string>& paths, int32_t format,
                             int32_t encoding) {
    return kestrova::bench::ConvertSingleMovie(paths, format, encoding, kQuality, OutputDirectory(),
                                               OutputDirectory() + "/movie.swf");
}

// ---- Plain codecs ----------------------------------------------------------------------------

// libjpeg-turbo alone: decode each file (already in memory) to RGB and encode it again at
// quality 70 with our writer's subsampling into a buffer of the codec's bound. Returns the
// bytes written, or -1.
long long PlainJpegPass(const PhotoSet& photos, int subsampling) {
    static tjhandle decoder = tjInitDecompress();
    static tjhandle encoder = tjInitCompress();
    static std::vector<uint8_t> rgb, jpeg;
    long long total = 0;
    for (const std::vector<uint8_t>& file : photos.jpegBytes) {
        int width = 0, height = 0, sub = 0, colorspace = 0;
        if (tjDecompressHeader3(decoder, file.data(), file.size(), &width, &height, &sub,
                                &colorspace) != 0) {
            return -1;
        }
        rgb.resize(static_cast<size_t>(width) * height * 3);
        if (tjDecompress2(decoder, file.data(), file.size(), rgb.data(), width, 0, height, TJPF_RGB,
                          0) != 0) {
            return -1;
        }
        unsigned long capacity = tjBufSize(width, height, subsampling);
        jpeg.resize(capacity);
        unsigned char* out = jpeg.data();
        unsigned long length = capacity;
        if (tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &out, &length, subsampling,
                        kQuality, TJFLAG_NOREALLOC) != 0) {
            return -1;
        }
        total += static_cast<long long>(length);
    }
    return total;
}

// libpng's simplified reader into 24-bit RGB.
bool DecodePng(const std::vector<uint8_t>& file, std::vector<uint8_t>& rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// The bytes a format-5 DefineBitsLossless compresses: 0, red, green, blue per pixel.
void ToLosslessPixels(const std::vector<uint8_t>& rgb, std::vector<uint8_t>& pixels) {
    size_t count = rgb.size() / 3;
    pixels.resize(count * 4);
    const uint8_t* in = rgb.data();
    uint8_t* out = pixels.data();
    for (size_t i = 0; i < count; ++i, in += 3, out += 4) {
        out[0] = 0;
        out[1] = in[0];
        out[2] = in[1];
        out[3] = in[2];
    }
}

// libpng decoding plus the compressor alone on the pixels a lossless bitmap holds: libdeflate
// at our level, or zlib's compress2 at level 9. Returns the zlib stream bytes, or -1.
long long PlainPngPass(const PhotoSet& photos, bool zlib) {
    static libdeflate_compressor* compressor =
        libdeflate_alloc_compressor(kSwfLosslessDeflateLevel);
    static std::vector<uint8_t> rgb, pixels, packed;
    long long total = 0;
    for (const std::vector<uint8_t>& file : photos.pngBytes) {
        if (!DecodePng(file, rgb)) {
            return -1;
        }
        ToLosslessPixels(rgb, pixels);
        if (zlib) {
            uLongf length = compressBound(static_cast<uLong>(pixels.size()));
            packed.resize(length);
            if (compress2(packed.data(), &length, pixels.data(), static_cast<uLong>(pixels.size()),
                          9) != Z_OK) {
                return -1;
            }
            total += static_cast<long long>(length);
        } else {
            packed.resize(libdeflate_zlib_compress_bound(compressor, pixels.size()));
            size_t length = libdeflate_zlib_compress(compressor, pixels.data(), pixels.size(),
                                                     packed.data(), packed.size());
            if (length == 0) {
                return -1;
            }
            total += static_cast<long long>(length);
        }
    }
    return total;
}

// ---- Benchmarks --------------------------------------------------------------------------------

// Each iteration times a plain pass and then our pass over the same pictures, so that a change
// in the machine's load touches both; the summary compares the best pass of each. A pass
// returns the bytes it wrote, or -1. Returns false, with the benchmark skipped, when a pass
// failed.
template <typename PlainPass, typename OurPass>
bool TimeOursAndPlain(benchmark::State& state, const char* plainName, PlainPass plainPass,
                      const char* oursName, OurPass ourPass) {
    long long plain = 0, ours = 0;
    for (auto _ : state) {
        {
            PassTimer timer(plainName);
            plain = plainPass();
        }
        {
            PassTimer timer(oursName);
            ours = ourPass();
        }
    }
    if (plain < 0 || ours < 0) {
        state.SkipWithError("a picture failed");
        return false;
    }
    OutputBytes()[plainName] = static_cast<double>(plain);
    OutputBytes()[oursName] = static_cast<double>(ours);
    state.counters["ours_s"] = BestTimes()[oursName].wall;
    state.counters["plain_s"] = BestTimes()[plainName].wall;
    return true;
}

void BM_JpegOursAndPlain(benchmark::State& state) {
    const PhotoSet& photos = Photos();
    int subsampling = WriterSubsampling();
    if (!photos.ok || subsampling < 0) {
        state.SkipWithError(!photos.ok ? "no pictures" : "cannot read our writer's subsampling");
        return;
    }
    if (TimeOursAndPlain(
            state, "jpeg plain", [&] { return PlainJpegPass(photos, subsampling); }, "jpeg ours",
            [&] { return ConvertSingleMovie(photos.jpegPaths, FormatJpg, EncodeJpeg); })) {
        state.SetLabel(std::string("subsampling ") + SubsamplingName(subsampling));
    }
}

void BM_PngOursAndPlain(benchmark::State& state) {
    const PhotoSet& photos = Photos();
    if (!photos.ok) {
        state.SkipWithError("no pictures");
        return;
    }
    if (TimeOursAndPlain(
            state, "png plain libdeflate", [&] { return PlainPngPass(photos, false); }, "png ours",
            [&] { return ConvertSingleMovie(photos.pngPaths, FormatPng, EncodeLossless); })) {
        state.SetLabel("libdeflate level " + std::to_string(kSwfLosslessDeflateLevel));
    }
}

void BM_PngPlainZlib(benchmark::State& state) {
    const PhotoSet& photos = Photos();
    if (!photos.ok) {
        state.SkipWithError("no pictures");
        return;
    }
    long long plain = 0;
    for (auto _ : state) {
        PassTimer timer("png plain zlib");
        plain = PlainPngPass(photos, true);
    }
    if (plain < 0) {
        state.SkipWithError("a picture failed");
        return;
    }
    OutputBytes()["png plain zlib"] = static_cast<double>(plain);
    state.SetLabel("zlib compress2 level 9");
}

BENCHMARK(BM_JpegOursAndPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PngOursAndPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_PngPlainZlib)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void PrintRatio(const char* what, const char* ours, const char* plain, double target) {
    auto& best = BestTimes();
    if (!best.count(ours) || !best.count(plain) || best[plain].wall <= 0 || best[plain].cpu <= 0) {
        return;
    }
    double wallRatio = best[ours].wall / best[plain].wall;
    double cpuRatio = best[ours].cpu / best[plain].cpu;
    printf("%-38s wall ratio %.3f, cpu ratio %.3f", what, wallRatio, cpuRatio);
    if (target > 0) {
        printf("  (target <= %.2f: %s)", target,
               std::max(wallRatio, cpuRatio) <= target ? "met" : "MISSED");
    }
    printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // The allocator settings kestrova-cli starts with (they do not change the plain codecs'
    // passes, which reuse their buffers).
    TuneAllocatorForPictures();
    // The plain JPEG pass makes optimized Huffman tables, as our writer does (TurboJPEG reads
    // this switch when it compresses).
    setenv("TJ_OPTIMIZE", "1", 1);
    Photos(); // made (or found) before anything is timed
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printf("\n%d pictures of %d x %d; best pass of each:\n", PhotoCount(), kPhotoWidth,
           kPhotoHeight);
    for (const auto& [name, times] : BestTimes()) {
        printf("  %-22s wall %8.3f s  cpu %8.3f s", name.c_str(), times.wall, times.cpu);
        if (OutputBytes().count(name)) {
            printf("  %9.2f MB out", OutputBytes()[name] / 1e6);
        }
        printf("\n");
    }
    PrintRatio("JPEG in, JPEG q70 out (libjpeg-turbo)", "jpeg ours", "jpeg plain", 1.15);
    PrintRatio("PNG in, lossless out (libdeflate)", "png ours", "png plain libdeflate", 0);
    PrintRatio("PNG in, lossless out (zlib 9)", "png ours", "png plain zlib", 0);

    std::string out = OutputDirectory();
    std::remove((out + "/movie.swf").c_str());
    rmdir(out.c_str());
    return 0;
}
