// Where the memory of nodes comes from and how it goes back: blocks from per-thread pools of a
// few fixed sizes, and a release that frees a whole tree without recursing.
#include "xml/reader/XpDOM.h"

#include <mutex>

namespace velmora {

namespace {

// Nodes whose count reached zero wait here, so that freeing a deep tree never recurses.
struct Graveyard {
    std::vector<TXpNode*> nodes;
    bool draining = false;
};
thread_local Graveyard t_graveyard;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_XP_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMORA_XP_NODE_POOL 0
#endif
#endif
#ifndef VELMORA_XP_NODE_POOL
#define VELMORA_XP_NODE_POOL 1
#endif

// Free blocks per size class of 16 bytes, up to 256; blocks of a freed node return to the
// pool of the thread that frees it. Chunks live for the process (sanitizer builds use the
// ordinary allocator so that they still see every block).
constexpr size_t kPoolGranule = 16;
constexpr size_t kPoolClasses = 16;
constexpr size_t kPoolChunkBytes = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};
thread_local FreeBlock* t_freeBlocks[kPoolClasses] = {};
// Guards g_chunks, which every thread that refills its pool appends to.
std::mutex g_chunkMutex;
std::vector<void*>* const g_chunks = new std::vector<void*>;

FreeBlock* refillPool(size_t sizeClass)
{
    const size_t blockSize = (sizeClass + 1) * kPoolGranule;
    char* chunk = static_cast<char*>(::operator new(kPoolChunkBytes));
    {
        std::lock_guard<std::mutex> lock(g_chunkMutex);
        g_chunks->push_back(chunk);
    }
    FreeBlock* head = nullptr;
    for (size_t offset = kPoolChunkBytes / blockSize * blockSize; offset >= blockSize; offset -= blockSize) {
        auto* block = reinterpret_cast<FreeBlock*>(chunk + offset - blockSize);
        block->next = head;
        head = block;
    }
    return head;
}

}  // namespace

void* TXpNode::operator new(size_t size)
{
    if (!VELMORA_XP_NODE_POOL || size > kPoolClasses * kPoolGranule)
        return ::operator new(size);
    size_t sizeClass = (size - 1) / kPoolGranule;
    FreeBlock* block = t_freeBlocks[sizeClass];
    if (!block)
        block = refillPool(sizeClass);
    t_freeBlocks[sizeClass] = block->next;
    return block;
}

void TXpNode::operator delete(void* block, size_t size)
{
    if (!VELMORA_XP_NODE_POOL || size > kPoolClasses * kPoolGranule) {
        ::operator delete(block);
        return;
    }
    size_t sizeClass = (size - 1) / kPoolGranule;
    auto* free = static_cast<FreeBlock*>(block);
    free->next = t_freeBlocks[sizeClass];
    t_freeBlocks[sizeClass] = free;
}

void TXpNode::Release()
{
    if (--m_refs != 0)
        return;
    Graveyard& graveyard = t_graveyard;
    graveyard.nodes.push_back(this);
    if (graveyard.draining)
        return;
    graveyard.draining = true;
    while (!graveyard.nodes.empty()) {
        TXpNode* node = graveyard.nodes.back();
        graveyard.nodes.pop_back();
        delete node;
    }
    graveyard.draining = false;
}

}  // namespace velmora
