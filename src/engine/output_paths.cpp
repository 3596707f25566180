#include "engine/output_paths.h"
#include "engine/engine_namespace.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sys/stat.h>

namespace kestrova::engine {

std::string IndividualOutputPath(const std::string& source) {
    // Only the file name's extension is replaced: "my.dir/picture" keeps its folder's dot.
    size_t slash = source.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = source.rfind('.');
    bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? source.substr(0, dot) : source) + ".swf";
}

std::string FixSavePath(const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A dot in a folder name ("out.d/m") is no extension of the file.
    if (ext.empty() || ext[0] != '.' || ext.find('/') != std::string::npos) {
        return path + ".swf";
    }
    if (ext != ".swf") {
        return path.substr(0, path.size() - 4) + ".swf";
    }
    return path;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    bool aExists = stat(a.c_str(), &sa) == 0;
    bool bExists = stat(b.c_str(), &sb) == 0;
    if (aExists || bExists) {
        return aExists && bExists && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) ==
           std::filesystem::weakly_canonical(b, ignored);
}

std::string SourceRefusal(const std::string& path) {
    struct stat info {};
    // A missing or unreadable file is left to the converter, which names what failed.
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return {};
    }
    const char* what = S_ISDIR(info.st_mode)                            ? "a folder"
                       : S_ISFIFO(info.st_mode)                         ? "a pipe"
                       : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                                                                        : "not a regular file";
    return "Error, " + path + " is " + what +
           ", not a regular file; only regular files are converted.";
}

std::string OutputRefusal(const ConvertObject& entry, const std::string& target,
                          const ConvertObject* first,
                          const std::vector<std::pair<std::string, std::string>>& claimed) {
    for (const ConvertObject* e = first; e != nullptr; e = e->next) {
        if (SameFile(target, e->path)) {
            return "Error, the movie of " + entry.path + " would be written to " + target +
                   (e == &entry ? ", which is the file itself"
                                : ", which is the source " + e->path) +
                   "; nothing was written.";
        }
    }
    for (const auto& [source, output] : claimed) {
        if (SameFile(target, output)) {
            return "Error, " + source + " and " + entry.path + " would both be written to " +
                   output + "; " + entry.path + " was skipped and " + source + " keeps that name.";
        }
    }
    return {};
}

} // namespace kestrova::engine
