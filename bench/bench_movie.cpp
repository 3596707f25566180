// A 640 x 480, 25 fps, 20-second AVI (MPEG-4 video, PCM sound) converted to one SWF of JPEG
// frames at quality 70 with the sound left out, against FFmpeg doing the same job:
//   ffmpeg -i clip.avi -c:v mjpeg -q:v 5 -an -f swf out.swf
// Each iteration runs both, one after the other, so that both see the same machine load.
// The clip is made once with ffmpeg and kept in the system temporary folder.
//
//   bench_movie [--benchmark_min_time=...]   (run from a Release build)
#include "engine/convert_engine.h"
#include "engine/engine_namespace.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace kestrova::engine;

namespace fs = std::filesystem;

namespace {

class QuietFront : public IConvertObserver, public IConvertPrompt {
public:
    void ShowFileName(int) override {}
    void IncrementProgress(int) override {}
    void FinishedConvert() override {}
    void ShowState(const char*) override {}
    void ShowMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "bench_movie: %s\n", text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool ChooseSavePath(std::string&) override { return false; }
};

struct Paths {
    fs::path folder = fs::temp_directory_path() / "kestrova-bench-movie";
    fs::path clip = folder / "clip640x480-25fps-20s.avi";
    fs::path ours = folder / "clip640x480-25fps-20s.swf"; // written beside the source
    fs::path peer = folder / "peer.swf";
    fs::path temp = folder / "frames";
};

const Paths& BenchPaths() {
    static Paths paths;
    return paths;
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The clip: FFmpeg's moving test picture with a little grain, so that frames differ and
// compress like filmed material rather than flat graphics.
bool MakeClip() {
    const Paths& p = BenchPaths();
    fs::create_directories(p.temp);
    if (fs::exists(p.clip)) {
        return true;
    }
    const std::string partial = p.clip.string() + ".part.avi";
    return Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=640x480:r=25 -f lavfi -i "
               "sine=frequency=440:sample_rate=44100 -t 20 -vf noise=alls=6:allf=t -c:v mpeg4 "
               "-q:v 4 -c:a pcm_s16le '" +
               partial + "'") &&
           (fs::rename(partial, p.clip), true);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One conversion of the clip by the engine, as `kestrova-cli --set format.avi.soundFlag=0`
// with the ".avi" quality at 70 runs it.
double ConvertWithEngine(int performanceMode) {
    const Paths& p = BenchPaths();
    QuietFront front;
    CConvertEngine engine(&front);
    ConvertOptions opts;
    opts.outputMode = OutputIndividual;
    opts.performanceMode = performanceMode;
    opts.tempDirectory = p.temp.string() + "/";
    FormatOptions& avi = opts.formats[opts.FindFormat(FormatAvi)];
    avi.soundFlag = 0;
    avi.quality = 70;
    avi.compression = EncodeJpeg;
    avi.swfFramesPerImage = 1;
    ConvertObject entry;
    entry.id = 1;
    entry.path = p.clip.string();
    entry.size = static_cast<int>(fs::file_size(p.clip));

    auto start = std::chrono::steady_clock::now();
    engine.StartConversion(&front, &entry, &opts);
    engine.Wait();
    double elapsed = Seconds(start);
    if (entry.result != 1) {
        std::fprintf(stderr, "bench_movie: the engine did not convert the clip\n");
    }
    return elapsed;
}

double ConvertWithFfmpeg() {
    const Paths& p = BenchPaths();
    auto start = std::chrono::steady_clock::now();
    if (!Run("ffmpeg -nostdin -v error -y -i '" + p.clip.string() +
             "' -c:v mjpeg -q:v 5 -an -f swf '" + p.peer.string() + "'")) {
        std::fprintf(stderr, "bench_movie: ffmpeg failed\n");
    }
    return Seconds(start);
}

struct Tally {
    std::vector<double> ours, peer;
};
Tally leastRamTally, maxRamTally;

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_MovieAgainstFfmpeg(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    Tally& tally = mode == PerformanceMaxRam ? maxRamTally : leastRamTally;
    if (!MakeClip()) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    for (auto _ : state) {
        const double ours = ConvertWithEngine(mode);
        const double peer = ConvertWithFfmpeg();
        tally.ours.push_back(ours);
        tally.peer.push_back(peer);
        state.SetIterationTime(ours);
    }
    const double ours = Median(tally.ours), peer = Median(tally.peer);
    state.counters["ours_s"] = ours;
    state.counters["ffmpeg_s"] = peer;
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
    state.counters["ours_MB"] = static_cast<double>(fs::file_size(BenchPaths().ours)) / 1e6;
    state.counters["ffmpeg_MB"] = static_cast<double>(fs::file_size(BenchPaths().peer)) / 1e6;
}
BENCHMARK(BM_MovieAgainstFfmpeg)
    ->ArgName("mode")
    ->Arg(PerformanceLeastRam)
    ->Arg(PerformanceMaxRam)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void Summary(const char* name, const Tally& tally) {
    if (tally.ours.empty()) {
        return;
    }
    const double ours = Median(tally.ours), peer = Median(tally.peer);
    std::printf("%-10s ours %.3f s, ffmpeg %.3f s, ratio %.3f (medians of %zu runs)\n", name, ours,
                peer, ours / peer, tally.ours.size());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Summary("least-RAM", leastRamTally);
    Summary("max-RAM", maxRamTally);
    const Paths& p = BenchPaths();
    if (fs::exists(p.ours) && fs::exists(p.peer)) {
        std::printf("sizes: ours %ju bytes, ffmpeg %ju bytes (clip %ju bytes)\n",
                    static_cast<uintmax_t>(fs::file_size(p.ours)),
                    static_cast<uintmax_t>(fs::file_size(p.peer)),
                    static_cast<uintmax_t>(fs::file_size(p.clip)));
    }
    return 0;
}
