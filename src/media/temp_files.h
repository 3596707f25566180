// Temporary files of one conversion: a private folder made with mkdtemp under the configured
// temporary directory, readable by the owner only, and removed with everything in it when the
// folder object goes. Files inside are created exclusively, so a name that already exists (or
// a symbolic link planted in its place) is never written through.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kestrova::media {

struct TempFileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using TempFilePtr = std::unique_ptr<FILE, TempFileCloser>;

class TempFolder {
public:
    // A new folder "kestrova-XXXXXX" under parent (a prefix that ends with "/"); nullopt with
    // *error set to a sentence naming the folder and the reason when it cannot be made.
    static std::optional<TempFolder> Create(const std::string& parent, std::string* error);

    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&&) = delete;
    TempFolder(const TempFolder&) = delete;
    ~TempFolder();

    // The folder's path with a trailing "/", put directly in front of file names.
    const std::string& Path() const { return path; }

private:
    explicit TempFolder(std::string path) : path(std::move(path)) {}
    std::string path;
};

// Creates a new file for writing with mode 0600; nullptr (errno set) when the name exists in
// any form, a symbolic link included, or cannot be created.
TempFilePtr CreateExclusiveFile(const std::string& path);

// Closes a file written through stdio and tells whether every byte reached the disk.
bool CloseWrittenFile(TempFilePtr file);

} // namespace kestrova::media
