#include "engine/image_store.h"

#include <cstdio>

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

ImageStore::~ImageStore() {
    Clear();
}

StoredImage* ImageStore::Append(StoredImage* entry) {
    // Ids count up; they are only reused after the 2^31 wrap, long after any entry is gone.
    entry->id = nextId;
    nextId = nextId == 0x7FFFFFFF ? 1 : nextId + 1;
    entry->prev = last;
    if (last != nullptr) {
        last->next = entry;
    } else {
        first = entry;
    }
    last = entry;
    ++count;
    return entry;
}

StoredImage* ImageStore::MakeMemoryEntry(size_t capacity) {
    auto* entry = new StoredImage;
    entry->data.reset(static_cast<unsigned char*>(std::malloc(capacity)));
    entry->dataLength = entry->data ? static_cast<int>(capacity) : -1;
    return Append(entry);
}

StoredImage* ImageStore::AdoptMemoryEntry(unsigned char* block, size_t length) {
    auto* entry = new StoredImage;
    entry->data.reset(block);
    entry->dataLength = static_cast<int>(length);
    return Append(entry);
}

StoredImage* ImageStore::MakeFileEntry(const std::string& path, bool deleteOnRelease) {
    auto* entry = new StoredImage;
    entry->isFile = true;
    entry->filePath = path;
    entry->deleteOnRelease = deleteOnRelease;
    entry->dataLength = -1;
    return Append(entry);
}

StoredImage* ImageStore::Find(int id) const {
    for (StoredImage* e = first; e != nullptr; e = e->next) {
        if (e->id == id) {
            return e;
        }
    }
    return nullptr;
}

StoredImage* ImageStore::FindFile(const std::string& path) const {
    for (StoredImage* e = first; e != nullptr; e = e->next) {
        if (e->isFile && e->filePath == path) {
            return e;
        }
    }
    return nullptr;
}

void ImageStore::Remove(int id) {
    StoredImage* e = Find(id);
    if (e == nullptr) {
        return;
    }
    (e->prev != nullptr ? e->prev->next : first) = e->next;
    (e->next != nullptr ? e->next->prev : last) = e->prev;
    --count;
    delete e;
}

void ImageStore::Clear() {
    StoredImage* e = first;
    while (e != nullptr) {
        StoredImage* next = e->next;
        delete e;
        e = next;
    }
    first = last = nullptr;
    count = 0;
}
