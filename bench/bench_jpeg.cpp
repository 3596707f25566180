// JPEG pictures on photographs: 50 pictures of 1632 x 1224 made by bench/make-photos from real
// photographs (4:2:0 JPEGs at quality 92, as cameras write), in /tmp/kestrova-bench-jpeg or
// $KESTROVA_BENCH_PHOTOS ($KESTROVA_BENCH_COUNT pictures for quick trials). Reported, not
// asserted; run from a Release build. Prints, side by side in one run:
// - the rate-distortion table: our writer against libjpeg-turbo's `cjpeg -optimize` at the
//   same qualities, bytes and PSNR against the source pixels, and cjpeg's bytes interpolated
//   at our PSNR;
// - the evidence for the writer's chroma sampling: libjpeg with optimized tables at 4:4:4,
//   4:2:2 and 4:2:0, each compared with cjpeg at equal PSNR;
// - encode time of the previous writer (TurboJPEG, 4:4:4, standard tables), ours, and libjpeg
//   alone with our settings (target: ours within 1.15 x of it);
// - "Original JPEG" against re-encoding through the engine: time per picture and movie bytes.
#include "bench_engine_run.h"
#include "engine/convert_engine.h"
#include "engine/engine_namespace.h"
#include "media/image_codec.h"
#include "media/rgb_image.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace kestrova::engine;

namespace {

constexpr int kQualities[] = {30, 40, 50, 60, 70, 75, 80, 85, 90, 95};
constexpr int kTimedQuality = 70;

struct Photo {
    std::string path;
    std::vector<uint8_t> file, rgb;
    int width = 0, height = 0;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t block[1 << 16];
        for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
            bytes.insert(bytes.end(), block, block + got);
        }
        std::fclose(file);
    }
    return bytes;
}

bool DecodeRgb(tjhandle decoder, const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& rgb,
               int& width, int& height) {
    int sub = 0, colorspace = 0;
    if (tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &width, &height, &sub,
                            &colorspace) != 0) {
        return false;
    }
    rgb.resize(size_t(width) * height * 3);
    return tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB,
                         0) == 0;
}

const std::vector<Photo>& Photos() {
    static const std::vector<Photo> photos = [] {
        std::vector<Photo> set;
        const char* env = std::getenv("KESTROVA_BENCH_COUNT");
        const int count = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 50;
        const char* dirEnv = std::getenv("KESTROVA_BENCH_PHOTOS");
        const std::string dir =
            dirEnv != nullptr && *dirEnv != '\0' ? dirEnv : "/tmp/kestrova-bench-jpeg";
        const std::string make = std::string(KESTROVA_SOURCE_DIR) + "/bench/make-photos '" + dir +
                                 "' " + std::to_string(count) + " 1632x1224 jpg";
        if (std::system(make.c_str()) != 0) {
            fprintf(stderr, "bench/make-photos failed\n");
            return set;
        }
        tjhandle decoder = tjInitDecompress();
        for (int i = 0; i < count; ++i) {
            char name[32];
            snprintf(name, sizeof name, "/photo_%02d.jpg", i);
            Photo p;
            p.path = dir + name;
            p.file = ReadAll(p.path);
            if (!DecodeRgb(decoder, p.file, p.rgb, p.width, p.height)) {
                fprintf(stderr, "cannot read %s\n", p.path.c_str());
                set.clear();
                break;
            }
            set.push_back(std::move(p));
        }
        tjDestroy(decoder);
        return set;
    }();
    return photos;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    const double mse = std::max(sum / double(a.size()), 1e-10);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// Bytes per picture and mean PSNR against the source of one way of encoding.
struct Point {
    double bytes = 0, psnr = 0;
};

template <typename EncodeFn> Point Measure(EncodeFn encode) {
    tjhandle decoder = tjInitDecompress();
    std::vector<uint8_t> decoded;
    Point point;
    const auto& photos = Photos();
    for (const Photo& p : photos) {
        std::vector<uint8_t> jpeg = encode(p);
        int w = 0, h = 0;
        if (jpeg.empty() || !DecodeRgb(decoder, jpeg, decoded, w, h)) {
            point = {};
            break;
        }
        point.bytes += double(jpeg.size()) / photos.size();
        point.psnr += Psnr(p.rgb, decoded) / photos.size();
    }
    tjDestroy(decoder);
    return point;
}

// libjpeg alone, as our writer calls it, with the given luma sampling factors.
std::vector<uint8_t> PlainLibjpeg(const Photo& p, int quality, int h, int v, bool optimize) {
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char* out = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&codec, &out, &length);
    codec.image_width = JDIMENSION(p.width);
    codec.image_height = JDIMENSION(p.height);
    codec.input_components = 3;
    codec.in_color_space = JCS_RGB;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, quality, TRUE);
    codec.optimize_coding = optimize ? TRUE : FALSE;
    codec.comp_info[0].h_samp_factor = h;
    codec.comp_info[0].v_samp_factor = v;
    jpeg_start_compress(&codec, TRUE);
    while (codec.next_scanline < codec.image_height) {
        auto row = const_cast<JSAMPROW>(p.rgb.data() + size_t(codec.next_scanline) * p.width * 3);
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    std::vector<uint8_t> bytes(out, out + length);
    std::free(out);
    jpeg_destroy_compress(&codec);
    return bytes;
}

// Through a buffer of the writer's bound kept from call to call, as the engine does.
std::vector<uint8_t> Ours(const Photo& p, int quality) {
    static std::vector<uint8_t> buffer;
    buffer.resize(std::max(buffer.size(), ISJpegBufferSize(uint32_t(p.width), uint32_t(p.height))));
    ISDest* dest = ISOpenMemoryDest(buffer.data(), buffer.size());
    const size_t length =
        ISWriteJPG(dest, p.rgb.data(), uint32_t(p.width), uint32_t(p.height), quality);
    ISCloseDest(dest);
    return std::vector<uint8_t>(buffer.begin(), buffer.begin() + std::ptrdiff_t(length));
}

// The writer before optimized tables: TurboJPEG at 4:4:4 with the standard tables.
std::vector<uint8_t> Previous(tjhandle encoder, const Photo& p, int quality) {
    unsigned char* out = nullptr;
    unsigned long length = 0;
    if (tjCompress2(encoder, p.rgb.data(), p.width, 0, p.height, TJPF_RGB, &out, &length,
                    TJSAMP_444, quality, 0) != 0) {
        length = 0;
    }
    std::vector<uint8_t> bytes(out, out + length);
    tjFree(out);
    return bytes;
}

std::string ScratchDirectory() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kestrova-bench-jpeg-out-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return dir;
}

// libjpeg-turbo's cjpeg -optimize from a PPM of the source pixels.
std::vector<uint8_t> Cjpeg(const Photo& p, int quality) {
    const std::string ppm = ScratchDirectory() + "/source.ppm";
    const std::string jpg = ScratchDirectory() + "/cjpeg.jpg";
    if (FILE* file = std::fopen(ppm.c_str(), "wb")) {
        std::fprintf(file, "P6\n%d %d\n255\n", p.width, p.height);
        std::fwrite(p.rgb.data(), 1, p.rgb.size(), file);
        std::fclose(file);
    }
    const std::string command = "cjpeg -optimize -quality " + std::to_string(quality) +
                                " -outfile '" + jpg + "' '" + ppm + "'";
    std::vector<uint8_t> bytes =
        std::system(command.c_str()) == 0 ? ReadAll(jpg) : std::vector<uint8_t>{};
    std::remove(ppm.c_str());
    std::remove(jpg.c_str());
    return bytes;
}

// cjpeg's bytes at a PSNR, interpolated linearly between its two nearest qualities; 0 outside
// its curve.
double BytesAtPsnr(std::vector<Point> curve, double psnr) {
    std::sort(curve.begin(), curve.end(),
              [](const Point& a, const Point& b) { return a.psnr < b.psnr; });
    for (size_t i = 1; i < curve.size(); ++i) {
        if (psnr >= curve[i - 1].psnr && psnr <= curve[i].psnr) {
            const double t = (psnr - curve[i - 1].psnr) / (curve[i].psnr - curve[i - 1].psnr);
            return curve[i - 1].bytes + t * (curve[i].bytes - curve[i - 1].bytes);
        }
    }
    return 0;
}

void PrintAgainst(const char* name, const std::vector<Point>& points,
                  const std::vector<Point>& cjpeg) {
    printf("%-16s", name);
    for (const Point& point : points) {
        const double theirs = BytesAtPsnr(cjpeg, point.psnr);
        printf(" %6.1fK %5.2fdB", point.bytes / 1024, point.psnr);
        if (theirs > 0) {
            printf(" %+5.1f%%", 100 * (point.bytes / theirs - 1));
        } else {
            printf("    n/a");
        }
    }
    printf("\n");
}

void RateDistortion() {
    printf("Rate-distortion, %zu pictures; per quality: KB per picture, mean PSNR against the "
           "source, bytes against cjpeg -optimize at equal PSNR (negative: smaller)\n%-16s",
           Photos().size(), "quality");
    for (int q : kQualities) {
        printf(" %20d", q);
    }
    printf("\n");
    std::vector<Point> cjpeg, ours, sampled[3];
    const int factors[3][2] = {{1, 1}, {2, 1}, {2, 2}};
    for (int q : kQualities) {
        cjpeg.push_back(Measure([q](const Photo& p) { return Cjpeg(p, q); }));
        ours.push_back(Measure([q](const Photo& p) { return Ours(p, q); }));
        for (int s = 0; s < 3; ++s) {
            sampled[s].push_back(Measure([q, &f = factors[s]](const Photo& p) {
                return PlainLibjpeg(p, q, f[0], f[1], true);
            }));
        }
    }
    PrintAgainst("cjpeg -optimize", cjpeg, cjpeg);
    PrintAgainst("ours", ours, cjpeg);
    PrintAgainst("libjpeg 4:4:4", sampled[0], cjpeg);
    PrintAgainst("libjpeg 4:2:2", sampled[1], cjpeg);
    PrintAgainst("libjpeg 4:2:0", sampled[2], cjpeg);
    printf("\n");
}

// ---- Timings ------------------------------------------------------------------------------

template <typename EncodeFn> void TimeEncoding(benchmark::State& state, EncodeFn encode) {
    double bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const Photo& p : Photos()) {
            bytes += double(encode(p).size());
        }
    }
    state.counters["KB_per_picture"] = bytes / 1024 / double(Photos().size());
}

void BM_EncodePrevious(benchmark::State& state) {
    tjhandle encoder = tjInitCompress();
    TimeEncoding(state, [encoder](const Photo& p) { return Previous(encoder, p, kTimedQuality); });
    tjDestroy(encoder);
}

void BM_EncodeOurs(benchmark::State& state) {
    TimeEncoding(state, [](const Photo& p) { return Ours(p, kTimedQuality); });
}

// libjpeg alone with the settings our writer uses at this quality, read back from its output.
void BM_EncodePlainSameSettings(benchmark::State& state) {
    int width = 0, height = 0, sub = 0, colorspace = 0;
    std::vector<uint8_t> probe = Ours(Photos().front(), kTimedQuality);
    tjhandle decoder = tjInitDecompress();
    tjDecompressHeader3(decoder, probe.data(), probe.size(), &width, &height, &sub, &colorspace);
    tjDestroy(decoder);
    const int h = sub == TJSAMP_444 ? 1 : 2, v = sub == TJSAMP_420 ? 2 : 1;
    TimeEncoding(state,
                 [h, v](const Photo& p) { return PlainLibjpeg(p, kTimedQuality, h, v, true); });
}

// One single movie of every picture through the engine; returns its size, -1 on failure.
long long ConvertSingleMovie(int32_t encoding) {
    std::vector<std::string> paths;
    for (const auto& photo : Photos()) {
        paths.push_back(photo.path);
    }
    const std::string movie = ScratchDirectory() + "/movie.swf";
    const long long size = kestrova::bench::ConvertSingleMovie(
        paths, FormatJpg, encoding, kTimedQuality, ScratchDirectory(), movie);
    std::remove(movie.c_str());
    return size;
}

void TimeMovie(benchmark::State& state, int32_t encoding) {
    long long bytes = 0;
    double best = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bytes = ConvertSingleMovie(encoding);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = best > 0 ? std::min(best, seconds) : seconds;
    }
    if (bytes < 0) {
        state.SkipWithError("a picture failed");
        return;
    }
    state.counters["movie_MB"] = double(bytes) / 1e6;
    state.counters["best_ms_per_picture"] = best * 1e3 / double(Photos().size());
}

void BM_MovieReencoded(benchmark::State& state) {
    TimeMovie(state, EncodeJpeg);
}
void BM_MovieOriginalJpeg(benchmark::State& state) {
    TimeMovie(state, EncodeOriginal);
}

BENCHMARK(BM_EncodePrevious)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EncodeOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EncodePlainSameSettings)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MovieReencoded)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MovieOriginalJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (Photos().empty()) {
        return 1;
    }
    if (std::getenv("KESTROVA_BENCH_NO_RD") == nullptr) {
        RateDistortion();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rmdir(ScratchDirectory().c_str());
    return 0;
}
