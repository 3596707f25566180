#include "media/temp_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace kestrova::media {

std::optional<TempFolder> TempFolder::Create(const std::string& parent, std::string* error) {
    std::string pattern = parent + "kestrova-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        if (error != nullptr) {
            *error = "Error, unable to create a temporary folder in " +
                     (parent.empty() ? std::string("the current folder") : parent) + ": " +
                     std::strerror(errno) + "\nCheck the temporary directory in the options.";
        }
        return std::nullopt;
    }
    return TempFolder(std::string(name.data()) + "/");
}

TempFolder::TempFolder(TempFolder&& other) noexcept : path(std::move(other.path)) {
    other.path.clear();
}

TempFolder::~TempFolder() {
    if (!path.empty()) {
        // remove_all deletes symbolic links themselves, never what they point to.
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

TempFilePtr CreateExclusiveFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int saved = errno;
        close(fd);
        unlink(path.c_str());
        errno = saved;
    }
    return TempFilePtr(file);
}

bool CloseWrittenFile(TempFilePtr file) {
    if (!file) {
        return false;
    }
    const bool flushed = std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && flushed;
}

} // namespace kestrova::media
