#include "engine/image_store.h"
#include "engine/engine_namespace.h"

#include <algorithm>
#include <cstdio>

namespace kestrova::engine {

StoredImage::~StoredImage() {
    Release();
}

void StoredImage::Release() {
    data.reset();
    if (isFile && deleteOnRelease && !filePath.empty()) {
        std::remove(filePath.c_str());
    }
    filePath.clear();
    isFile = false;
    dataLength = 0;
}

StoredImage* ImageStore::Append(std::unique_ptr<StoredImage> entry) {
    // Ids count up; they are only reused after the 2^31 wrap, long after any entry is gone.
    entry->id = nextId;
    nextId = nextId == 0x7FFFFFFF ? 1 : nextId + 1;
    return entries.emplace_back(std::move(entry)).get();
}

StoredImage* ImageStore::MakeMemoryEntry(size_t capacity) {
    auto entry = std::make_unique<StoredImage>();
    entry->data.reset(static_cast<unsigned char*>(std::malloc(capacity)));
    entry->dataLength = entry->data ? static_cast<int>(capacity) : -1;
    return Append(std::move(entry));
}

StoredImage* ImageStore::AdoptMemoryEntry(unsigned char* block, size_t length) {
    auto entry = std::make_unique<StoredImage>();
    entry->data.reset(block);
    entry->dataLength = static_cast<int>(length);
    return Append(std::move(entry));
}

StoredImage* ImageStore::MakeFileEntry(const std::string& path, bool deleteOnRelease) {
    auto entry = std::make_unique<StoredImage>();
    entry->isFile = true;
    entry->filePath = path;
    entry->deleteOnRelease = deleteOnRelease;
    entry->dataLength = -1;
    return Append(std::move(entry));
}

StoredImage* ImageStore::Find(int id) const {
    auto found = std::ranges::find_if(entries, [id](const auto& e) { return e->id == id; });
    return found == entries.end() ? nullptr : found->get();
}

StoredImage* ImageStore::FindFile(const std::string& path) const {
    auto found = std::ranges::find_if(
        entries, [&path](const auto& e) { return e->isFile && e->filePath == path; });
    return found == entries.end() ? nullptr : found->get();
}

void ImageStore::Remove(int id) {
    std::erase_if(entries, [id](const auto& e) { return e->id == id; });
}

void ImageStore::Clear() {
    entries.clear();
}

} // namespace kestrova::engine
