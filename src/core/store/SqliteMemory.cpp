#include "store/SqliteMemory.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillbox {

namespace {

// Every block starts with a header holding its capacity; the header keeps the 16-byte alignment.
constexpr std::size_t header = 16;
constexpr std::size_t granule = 16;
constexpr std::size_t largestKept = 512;
constexpr int sizeClasses = static_cast<int>(largestKept / granule);
constexpr int keptPerClass = 256; // at most about 2 MB waiting for reuse per thread

// Plain data, so it needs no destructor: blocks freed late in a thread's life still find it.
struct FreeLists {
    void* head[sizeClasses];
    int count[sizeClasses];
    bool drainAtExit; // the thread's Drain below is in place
    bool closed;      // the thread is ending: a freed block goes back to the system at once
};
thread_local FreeLists lists{};

void release(void* block) {
    std::free(static_cast<char*>(block) - header);
}

// When the thread ends, what its lists keep goes back to the system; nobody else can reach it.
struct Drain {
    ~Drain() {
        lists.closed = true;
        for (int c = 0; c < sizeClasses; ++c) {
            while (void* block = lists.head[c]) {
                std::memcpy(&lists.head[c], block, sizeof(void*));
                release(block);
            }
            lists.count[c] = 0;
        }
    }
};

void drainAtThreadExit() {
    thread_local Drain drain;
    lists.drainAtExit = true;
}

std::size_t roundUp(int n) {
    const std::size_t size = n > 0 ? static_cast<std::size_t>(n) : 1;
    return (size + granule - 1) & ~(granule - 1);
}

std::size_t& capacityOf(void* block) {
    return *reinterpret_cast<std::size_t*>(static_cast<char*>(block) - header);
}

int classOf(std::size_t capacity) {
    return static_cast<int>(capacity / granule) - 1;
}

void* fresh(std::size_t capacity) {
    char* raw = static_cast<char*>(std::malloc(capacity + header));
    if (!raw) {
        return nullptr;
    }
    *reinterpret_cast<std::size_t*>(raw) = capacity;
    return raw + header;
}

void* blockMalloc(int n) {
    const std::size_t capacity = roundUp(n);
    if (capacity <= largestKept) {
        const int c = classOf(capacity);
        if (void* block = lists.head[c]) {
            std::memcpy(&lists.head[c], block, sizeof(void*)); // the next block is kept inside
            --lists.count[c];
            return block;
        }
    }
    return fresh(capacity);
}

void blockFree(void* block) {
    if (!block) {
        return;
    }
    const std::size_t capacity = capacityOf(block);
    if (capacity <= largestKept && !lists.closed) {
        const int c = classOf(capacity);
        if (lists.count[c] < keptPerClass) {
            if (!lists.drainAtExit) {
                drainAtThreadExit();
            }
            std::memcpy(block, &lists.head[c], sizeof(void*));
            lists.head[c] = block;
            ++lists.count[c];
            return;
        }
    }
    release(block);
}

int blockSize(void* block) {
    return block ? static_cast<int>(capacityOf(block)) : 0;
}

void* blockRealloc(void* block, int n) {
    if (!block) {
        return blockMalloc(n);
    }
    const std::size_t capacity = capacityOf(block);
    const std::size_t wanted = roundUp(n);
    if (wanted <= capacity && (capacity <= largestKept || wanted > largestKept)) {
        return block; // it fits, and a large block is not kept for a small request
    }
    if (capacity > largestKept && wanted > largestKept) {
        char* raw = static_cast<char*>(std::realloc(static_cast<char*>(block) - header, wanted + header));
        if (!raw) {
            return nullptr;
        }
        *reinterpret_cast<std::size_t*>(raw) = wanted;
        return raw + header;
    }
    void* moved = blockMalloc(n);
    if (!moved) {
        return nullptr;
    }
    std::memcpy(moved, block, std::min(capacity, wanted));
    blockFree(block);
    return moved;
}

int blockRoundup(int n) {
    return static_cast<int>(roundUp(n));
}

int blockInit(void*) {
    return SQLITE_OK;
}

void blockShutdown(void*) {}

} // namespace

bool configureSqliteMemory() {
    static const bool taken = [] {
        static const sqlite3_mem_methods methods = {blockMalloc,  blockFree, blockRealloc,  blockSize,
                                                    blockRoundup, blockInit, blockShutdown, nullptr};
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return sqlite3_config(SQLITE_CONFIG_MALLOC, &methods) == SQLITE_OK;
    }();
    return taken;
}

void wipeSqliteFreeBlocks() {
    for (int c = 0; c < sizeClasses; ++c) {
        const std::size_t capacity = static_cast<std::size_t>(c + 1) * granule;
        for (void* block = lists.head[c]; block;) {
            void* next = nullptr;
            std::memcpy(&next, block, sizeof(void*));
            // The link stays; everything after it is wiped.
            volatile unsigned char* bytes = static_cast<unsigned char*>(block);
            for (std::size_t i = sizeof(void*); i < capacity; ++i) {
                bytes[i] = 0;
            }
            block = next;
        }
    }
}

int sqliteBlockSize(void* block) {
    return blockSize(block);
}

} // namespace quillbox
