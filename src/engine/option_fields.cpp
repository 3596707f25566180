#include "engine/option_fields.h"
#include "engine/engine_namespace.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <span>

namespace kestrova::engine {

namespace {

struct NamedValue {
    std::string_view word;
    int32_t value;
};

constexpr NamedValue kFlagWords[] = {{"true", 1}, {"false", 0}, {"yes", 1},
                                     {"no", 0},   {"on", 1},    {"off", 0}};
constexpr NamedValue kSizingWords[] = {
    {"stretch", SizingStretch}, {"keep", SizingKeep}, {"preset", SizingPreset}};
constexpr NamedValue kPerformanceWords[] = {{"leastram", PerformanceLeastRam},
                                            {"maxram", PerformanceMaxRam}};
constexpr NamedValue kOutputWords[] = {{"single", OutputSingle}, {"individual", OutputIndividual}};
constexpr NamedValue kEncodingWords[] = {{"jpeg", EncodeJpeg}, {"lossless", EncodeLossless}};
constexpr NamedValue kJpegEntryEncodingWords[] = {
    {"jpeg", EncodeJpeg}, {"lossless", EncodeLossless}, {"original", EncodeOriginal}};

// Accepted integers: the range min..max, plus the words (which may name values outside it).
struct IntegerRule {
    int32_t min;
    int32_t max;
    std::span<const NamedValue> words;
};

constexpr IntegerRule kFlag{0, 1, kFlagWords};
constexpr IntegerRule kAtLeastOne{1, INT32_MAX, {}};
constexpr IntegerRule kAtLeastZero{0, INT32_MAX, {}};
constexpr IntegerRule kAny{INT32_MIN, INT32_MAX, {}};
constexpr IntegerRule kPixels{1, 10000, {}};
// Picture offsets keep every position of a movie far inside its twips fields.
constexpr IntegerRule kOffset{-10000, 10000, {}};
// A movie holds at most 65535 frames, so no single picture may ask for more.
constexpr IntegerRule kFrames{1, 65535, {}};
constexpr IntegerRule kByte{0, 255, {}};
constexpr IntegerRule kWorkers{0, kMaxWorkerThreads, {}};
constexpr IntegerRule kFrameRate{1, 120, {}};
constexpr IntegerRule kImageQuality{1, 100, {}};
constexpr IntegerRule kFrameQuality{0, 100, {}};
constexpr IntegerRule kSizing{SizingStretch, SizingPreset, kSizingWords};
constexpr IntegerRule kPerformance{PerformanceLeastRam, PerformanceMaxRam, kPerformanceWords};
constexpr IntegerRule kOutput{OutputSingle, OutputIndividual, kOutputWords};
constexpr IntegerRule kEncoding{EncodeJpeg, EncodeLossless, kEncodingWords};
// Only JPEG files can be kept as they are.
constexpr IntegerRule kJpegEntryEncoding{EncodeJpeg, EncodeOriginal, kJpegEntryEncodingWords};
// The sound converter's code-size table reads 0..6; 5 and 6 (5-bit ADPCM and uncompressed
// samples) are not offered by the audio page but are reachable from the command line.
constexpr IntegerRule kAudioEncoding{0, 6, {}};

enum class FieldType { Integer, Colour, Text };

struct RecordField {
    std::string_view name;
    FieldType type;
    int32_t ConvertOptions::*integer;
    uint32_t ConvertOptions::*colour;
    std::string ConvertOptions::*text;
    IntegerRule rule;
};

constexpr RecordField Int(std::string_view name, int32_t ConvertOptions::*m, IntegerRule rule) {
    return {name, FieldType::Integer, m, nullptr, nullptr, rule};
}
constexpr RecordField Colour(std::string_view name, uint32_t ConvertOptions::*m) {
    return {name, FieldType::Colour, nullptr, m, nullptr, kAny};
}
constexpr RecordField Text(std::string_view name, std::string ConvertOptions::*m) {
    return {name, FieldType::Text, nullptr, nullptr, m, kAny};
}

using CO = ConvertOptions;
// In declaration order; `formats` is reached through the "format." names.
const RecordField kRecordFields[] = {
    Int("optimizePlayback", &CO::optimizePlayback, kFlag),
    Int("lensAlpha", &CO::lensAlpha, kByte),
    Colour("lensColor", &CO::lensColor),
    Int("useLens", &CO::useLens, kFlag),
    Int("blankFrameAtEnd", &CO::blankFrameAtEnd, kFlag),
    Int("blankFrameAtStart", &CO::blankFrameAtStart, kFlag),
    Int("stopActionInFirstFrame", &CO::stopActionInFirstFrame, kFlag),
    Int("performanceMode", &CO::performanceMode, kPerformance),
    Text("tempDirectory", &CO::tempDirectory),
    Text("preloaderImage", &CO::preloaderImage),
    Int("loopMovie", &CO::loopMovie, kFlag),
    Int("sizeToLargestImage", &CO::sizeToLargestImage, kFlag),
    Int("usePreloader", &CO::usePreloader, kFlag),
    Int("preloadFraction", &CO::preloadFraction, kAtLeastOne),
    Int("framesPerImage", &CO::framesPerImage, kFrames),
    Int("frameRate", &CO::frameRate, kFrameRate),
    Int("imageSizing", &CO::imageSizing, kSizing),
    Colour("backgroundColor", &CO::backgroundColor),
    Int("movieHeight", &CO::movieHeight, kPixels),
    Int("movieWidth", &CO::movieWidth, kPixels),
    Int("imageY", &CO::imageY, kOffset),
    Int("imageX", &CO::imageX, kOffset),
    Int("presetHeight", &CO::presetHeight, kPixels),
    Int("presetWidth", &CO::presetWidth, kPixels),
    Int("outputMode", &CO::outputMode, kOutput),
    Int("workerThreads", &CO::workerThreads, kWorkers),
};

// Format fields in declaration order (`formatId` never changes, so it is not settable).
struct FormatField {
    std::string_view name;
    int32_t FormatOptions::*member;
};

const FormatField kFormatFields[] = {
    {"soundFlag", &FormatOptions::soundFlag},
    {"swfFramesPerImage", &FormatOptions::swfFramesPerImage},
    {"smallQuality", &FormatOptions::smallQuality},
    {"smallCompression", &FormatOptions::smallCompression},
    {"smallFileLimitKb", &FormatOptions::smallFileLimitKb},
    {"quality", &FormatOptions::quality},
    {"compression", &FormatOptions::compression},
};

// What a format field accepts depends on the kind of its format: the audio entries keep an
// encoding index in `compression`, and movie frames may have quality 0.
IntegerRule FormatRule(const FormatOptions& format, int32_t FormatOptions::*member) {
    ObjectKind kind = FormatKind(format);
    if (member == &FormatOptions::soundFlag) {
        return kFlag;
    }
    if (member == &FormatOptions::swfFramesPerImage) {
        return kFrames;
    }
    if (member == &FormatOptions::smallQuality) {
        return kImageQuality;
    }
    if (member == &FormatOptions::smallFileLimitKb) {
        return kAtLeastZero;
    }
    if (member == &FormatOptions::quality) {
        return kind == KindStaticImage ? kImageQuality : kFrameQuality;
    }
    if (member == &FormatOptions::compression && kind == KindAudioFile) {
        return kAudioEncoding;
    }
    // compression and smallCompression
    return format.formatId == FormatJpg ? kJpegEntryEncoding : kEncoding;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

// Whole text as an optionally signed decimal or 0x hexadecimal number.
bool ParseNumber(std::string_view text, int64_t& value) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size() || magnitude > UINT32_MAX) {
        return false;
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

std::string RangeText(const IntegerRule& rule) {
    std::string text;
    if (rule.min == INT32_MIN) {
        text = "an integer";
    } else if (rule.max == INT32_MAX) {
        text = "an integer of at least " + std::to_string(rule.min);
    } else {
        text = std::to_string(rule.min) + ".." + std::to_string(rule.max);
    }
    for (const NamedValue& word : rule.words) {
        text += ", ";
        text += word.word;
    }
    return text;
}

bool InRange(int32_t value, const IntegerRule& rule) {
    if (value >= rule.min && value <= rule.max) {
        return true;
    }
    for (const NamedValue& word : rule.words) {
        if (word.value == value) {
            return true;
        }
    }
    return false;
}

bool ParseInteger(std::string_view text, const IntegerRule& rule, int32_t& value) {
    std::string lower = Lower(text);
    for (const NamedValue& word : rule.words) {
        if (lower == word.word) {
            value = word.value;
            return true;
        }
    }
    int64_t v = 0;
    if (!ParseNumber(text, v) || v < rule.min || v > rule.max) {
        return false;
    }
    value = static_cast<int32_t>(v);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "#RRGGBB" as a person writes it, or the stored 0x00BBGGRR value as a number.
bool ParseColour(std::string_view text, uint32_t& value) {
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7) {
            return false;
        }
        uint32_t rgb = 0;
        for (char c : text.substr(1)) {
            int digit = HexDigit(c);
            if (digit < 0) {
                return false;
            }
            rgb = rgb << 4 | static_cast<uint32_t>(digit);
        }
        uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        value = r | g << 8 | b << 16;
        return true;
    }
    int64_t v = 0;
    if (!ParseNumber(text, v) || v < 0) {
        return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

std::string ColourText(uint32_t value) {
    char text[16];
    if (value >> 24 != 0) {
        std::snprintf(text, sizeof text, "0x%08X", value);
    } else {
        std::snprintf(text, sizeof text, "#%02X%02X%02X", value & 0xFF, (value >> 8) & 0xFF,
                      (value >> 16) & 0xFF);
    }
    return text;
}

std::string IntegerText(int32_t value, const IntegerRule& rule) {
    // Encodings read better as words; other words stay aliases of the stored numbers.
    if (rule.words.data() == kEncodingWords) {
        for (const NamedValue& word : rule.words) {
            if (word.value == value) {
                return std::string(word.word);
            }
        }
    }
    return std::to_string(value);
}

const RecordField* FindRecordField(std::string_view name) {
    for (const RecordField& field : kRecordFields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

// "format.EXT.FIELD": the index of the entry whose extension is ".EXT" (any case) and the
// field.
bool FindFormatField(const ConvertOptions& options, std::string_view name, int& index,
                     const FormatField*& field) {
    constexpr std::string_view prefix = "format.";
    if (name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    name.remove_prefix(prefix.size());
    size_t dot = name.find('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    // Appended rather than "." + ...: GCC 12 warns falsely (-Wrestrict) about that form
    // in optimised builds.
    std::string extension(1, '.');
    extension += Lower(name.substr(0, dot));
    std::string_view fieldName = name.substr(dot + 1);
    index = -1;
    for (int i = 0; i < kFormatCount && index < 0; ++i) {
        if (extension == FormatExtension(options.formats[i])) {
            index = i;
        }
    }
    field = nullptr;
    for (const FormatField& f : kFormatFields) {
        if (f.name == fieldName) {
            field = &f;
        }
    }
    return index >= 0 && field != nullptr;
}

// The options file keeps a text value as one token with its spaces marked, so other white
// space cannot be stored.
bool StorableText(std::string_view text) {
    return text.find_first_of("\t\n\v\f\r") == std::string_view::npos;
}

std::string BadValue(std::string_view name, std::string_view value, std::string_view expected) {
    return "bad value \"" + std::string(value) + "\" for " + std::string(name) + " (expected " +
           std::string(expected) + ")";
}

} // namespace

int SetOptionField(ConvertOptions& options, std::string_view name, std::string_view value,
                   std::string* error) {
    std::string ignored;
    std::string& message = error != nullptr ? *error : ignored;
    if (const RecordField* field = FindRecordField(name)) {
        switch (field->type) {
        case FieldType::Text: {
            if (!StorableText(value)) {
                message = BadValue(name, value, "text without tabs or line breaks");
                return 0;
            }
            std::string text(value);
            if (field->text == &ConvertOptions::tempDirectory && !text.empty() &&
                text.back() != '/') {
                text += '/';
            }
            options.*(field->text) = std::move(text);
            return 1;
        }
        case FieldType::Colour:
            if (!ParseColour(Trim(value), options.*(field->colour))) {
                message = BadValue(name, value, "#RRGGBB or a number");
                return 0;
            }
            return 1;
        case FieldType::Integer:
            if (!ParseInteger(Trim(value), field->rule, options.*(field->integer))) {
                message = BadValue(name, value, RangeText(field->rule));
                return 0;
            }
            return 1;
        }
    }
    int index = -1;
    const FormatField* field = nullptr;
    if (FindFormatField(options, name, index, field)) {
        FormatOptions& format = options.formats[index];
        IntegerRule rule = FormatRule(format, field->member);
        if (!ParseInteger(Trim(value), rule, format.*(field->member))) {
            message = BadValue(name, value, RangeText(rule));
            return 0;
        }
        return 1;
    }
    message = "unknown option field \"" + std::string(name) + "\"";
    return 0;
}

int GetOptionField(const ConvertOptions& options, std::string_view name, std::string& value) {
    if (const RecordField* field = FindRecordField(name)) {
        switch (field->type) {
        case FieldType::Text:
            value = options.*(field->text);
            return 1;
        case FieldType::Colour:
            value = ColourText(options.*(field->colour));
            return 1;
        case FieldType::Integer:
            value = IntegerText(options.*(field->integer), field->rule);
            return 1;
        }
    }
    int index = -1;
    const FormatField* field = nullptr;
    if (FindFormatField(options, name, index, field)) {
        const FormatOptions& format = options.formats[index];
        value = IntegerText(format.*(field->member), FormatRule(format, field->member));
        return 1;
    }
    return 0;
}

std::vector<std::string> OptionFieldNames() {
    std::vector<std::string> names;
    for (const RecordField& field : kRecordFields) {
        names.emplace_back(field.name);
    }
    ConvertOptions options;
    for (const FormatOptions& format : options.formats) {
        std::string prefix = "format." + std::string(FormatExtension(format) + 1) + ".";
        for (const FormatField& field : kFormatFields) {
            names.push_back(prefix + std::string(field.name));
        }
    }
    return names;
}

namespace {

// An integer field outside its range: a record field, or a field of one format entry.
struct OutOfRange {
    std::string name;
    IntegerRule rule;
    int32_t ConvertOptions::*record = nullptr;
    int formatIndex = -1;
    int32_t FormatOptions::*member = nullptr;

    int32_t& In(ConvertOptions& o) const {
        return record != nullptr ? o.*record : o.formats[formatIndex].*member;
    }
    int32_t In(const ConvertOptions& o) const {
        return record != nullptr ? o.*record : o.formats[formatIndex].*member;
    }
    std::string Text(const ConvertOptions& o) const {
        return BadValue(name, std::to_string(In(o)), RangeText(rule));
    }
};

// A field holding its default value is never out of range (the .mp3 entry's unused
// compression keeps a picture encoding).
std::vector<OutOfRange> OutOfRangeFields(const ConvertOptions& options,
                                         const ConvertOptions& defaults) {
    std::vector<OutOfRange> found;
    auto check = [&](OutOfRange field) {
        int32_t value = field.In(options);
        if (!InRange(value, field.rule) && value != field.In(defaults)) {
            found.push_back(std::move(field));
        }
    };
    for (const RecordField& field : kRecordFields) {
        if (field.type == FieldType::Integer) {
            check({std::string(field.name), field.rule, field.integer});
        }
    }
    for (int i = 0; i < kFormatCount; ++i) {
        const FormatOptions& format = options.formats[i];
        for (const FormatField& field : kFormatFields) {
            check({"format." + std::string(FormatExtension(format) + 1) + "." +
                       std::string(field.name),
                   FormatRule(format, field.member), nullptr, i, field.member});
        }
    }
    return found;
}

} // namespace

std::string FirstOutOfRangeField(const ConvertOptions& options) {
    const ConvertOptions defaults;
    std::vector<OutOfRange> found = OutOfRangeFields(options, defaults);
    return found.empty() ? std::string() : found.front().Text(options);
}

std::vector<std::string> ResetOutOfRangeFields(ConvertOptions& options) {
    const ConvertOptions defaults;
    std::vector<std::string> warnings;
    for (const OutOfRange& field : OutOfRangeFields(options, defaults)) {
        warnings.push_back(field.Text(options) + "; using " + std::to_string(field.In(defaults)));
        field.In(options) = field.In(defaults);
    }
    return warnings;
}

} // namespace kestrova::engine
