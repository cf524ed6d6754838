// Every block the window program gives back to the heap is overwritten first, so that what it
// held (a record's password in a list cell, a page SQLite read, the text of a password box) is not
// left lying in freed memory after it is done with: a locked program keeps nothing of the records
// in the clear. The C library's free() and realloc() are replaced for the whole process; the
// library's own allocator still does the work. Only where the GNU C library allows this (it names
// its own entry points), and not under AddressSanitizer, which replaces them itself.
#include <cstddef> // tells whether this is the GNU C library
#include <cstring>

#if defined(__GLIBC__) && !defined(QUILLBOX_SANITIZE)

#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);

void free(void* block) noexcept {
    if (block) {
        explicit_bzero(block, malloc_usable_size(block));
        __libc_free(block);
    }
}

// The library's realloc() would free a block it moves without wiping it.
void* realloc(void* block, size_t size) noexcept {
    if (!block) {
        return __libc_malloc(size);
    }
    if (size == 0) {
        free(block);
        return nullptr;
    }
    const size_t held = malloc_usable_size(block);
    if (size <= held) {
        return block;
    }
    void* moved = __libc_malloc(size);
    if (!moved) {
        return nullptr;
    }
    std::memcpy(moved, block, held);
    free(block);
    return moved;
}
}

#endif
