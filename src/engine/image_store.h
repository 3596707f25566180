// The engine's store of decoded pictures: JPEG bytes or lossless pixels in memory, or JPEG
// files on disk, identified by ids that are distinct among the entries present at one time.
#pragma once

#include "engine/engine_namespace.h"
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::engine {

struct MallocBlockFreer {
    void operator()(unsigned char* block) const { std::free(block); }
};

class StoredImage {
public:
    virtual ~StoredImage();
    // Frees the buffer, deletes the file when so flagged, and empties the entry.
    void Release();

    int height = 0;
    int width = 0;
    bool deleteOnRelease = false;
    std::string filePath;
    bool isFile = false;
    int id = 0;
    int dataLength = 0; // valid bytes of data; -1 for a file entry or a failed allocation
    // Lossless pixels: entries of the colour table in front of the index rows (0 for 4-byte
    // pixels), and whether they carry premultiplied alpha.
    uint32_t colours = 0;
    bool alpha = false;
    std::unique_ptr<unsigned char[], MallocBlockFreer> data; // allocated with malloc
};

class ImageStore {
public:
    ImageStore() = default;
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;

    // Appends an entry with a buffer of `capacity` bytes (data length -1 and no buffer when
    // it cannot be had).
    StoredImage* MakeMemoryEntry(size_t capacity);
    // Appends an entry that takes over a malloc block of `length` bytes.
    StoredImage* AdoptMemoryEntry(unsigned char* block, size_t length);
    StoredImage* MakeFileEntry(const std::string& path, bool deleteOnRelease);
    StoredImage* Find(int id) const;
    StoredImage* FindFile(const std::string& path) const;
    void Remove(int id);
    void Clear();
    int Count() const { return static_cast<int>(entries.size()); }

private:
    StoredImage* Append(std::unique_ptr<StoredImage> entry);

    std::vector<std::unique_ptr<StoredImage>> entries;
    int nextId = 1;
};

} // namespace kestrova::engine
