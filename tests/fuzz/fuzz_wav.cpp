// The WAV reader on the bytes as they are, then the re-encoder on the same bytes as a file.
#include <cstdio>

#include "fuzz_scratch.h"
#include "media/media_log.h"
#include "media/wav_to_pcm.h"
#include "swf/wav_reader.h"

using namespace kestrova::test;

// FFmpeg is kept quiet as in the programs: its warnings about damaged input are expected here.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietMediaLibraryLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir scratch;
    if (FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb"); file != nullptr) {
        CWaveSound sound;
        if (ReadWaveFile(file, sound) && sound.data.empty() != (sound.sampleCount == 0)) {
            std::abort(); // a sound without samples must have no data, and the other way round
        }
        std::fclose(file);
    }
    const std::string source = scratch.Write("in.wav", data, size);
    const std::string copy = scratch.path + "out.wav";
    for (bool stereoToMono : {false, true}) {
        WavToPcmConverter converter(source, copy);
        converter.LimitDestination(30000000); // as the engine bounds every converted sound
        converter.Convert(stereoToMono);
        std::remove(copy.c_str());
    }
    return 0;
}
