#include <dmedia/dm_buffer.h>

#include <vector>

struct _DMbuffer {
    DMbufferpool pool = nullptr;
    std::vector<unsigned char> data;
    size_t size = 0;  // valid bytes
    int holders = 0;  // 0: free in its pool
};

struct _DMbufferpool {
    std::vector<_DMbuffer> buffers;
};

DMstatus dmBufferSetPoolDefaults(DMparams *params, int count, int size,
                                 DMboolean cacheable, DMboolean mapped)
{
    if (params == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no parameter list");
        return DM_FAILURE;
    }
    if (dmParamsSetInt(params, DM_BUFFER_COUNT, count) != DM_SUCCESS ||
        dmParamsSetInt(params, DM_BUFFER_SIZE, size) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_BUFFER_CACHEABLE, cacheable ? 1 : 0) !=
            DM_SUCCESS ||
        dmParamsSetEnum(params, DM_BUFFER_MAPPED, mapped ? 1 : 0) != DM_SUCCESS)
        return DM_FAILURE;
    return DM_SUCCESS;
}

DMstatus dmBufferCreatePool(const DMparams *params, DMbufferpool *pool)
{
    if (params == nullptr || pool == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no pool description");
        return DM_FAILURE;
    }
    int count = dmParamsGetElemType(params, DM_BUFFER_COUNT) == DM_TYPE_INT
                    ? dmParamsGetInt(params, DM_BUFFER_COUNT)
                    : 0;
    int size = dmParamsGetElemType(params, DM_BUFFER_SIZE) == DM_TYPE_INT
                   ? dmParamsGetInt(params, DM_BUFFER_SIZE)
                   : 0;
    if (count < 1 || size < 1) {
        dmSetError(DM_ERR_BAD_ARGUMENT,
                   "a pool needs at least one buffer of at least one byte "
                   "(count %d, size %d)",
                   count, size);
        return DM_FAILURE;
    }
    DMbufferpool p = new _DMbufferpool;
    p->buffers.resize((size_t)count);
    for (_DMbuffer &b : p->buffers) {
        b.pool = p;
        b.data.assign((size_t)size, 0);
    }
    *pool = p;
    return DM_SUCCESS;
}

DMstatus dmBufferDestroyPool(DMbufferpool pool)
{
    if (pool == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no pool");
        return DM_FAILURE;
    }
    for (const _DMbuffer &b : pool->buffers)
        if (b.holders > 0) {
            dmSetError(DM_ERR_BAD_ARGUMENT,
                       "a buffer of the pool is still in use");
            return DM_FAILURE;
        }
    delete pool;
    return DM_SUCCESS;
}

int dmBufferGetPoolFree(DMbufferpool pool)
{
    if (pool == nullptr)
        return 0;
    int n = 0;
    for (const _DMbuffer &b : pool->buffers)
        if (b.holders == 0)
            ++n;
    return n;
}

DMstatus dmBufferAllocate(DMbufferpool pool, DMbuffer *buffer)
{
    if (pool == nullptr || buffer == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no pool or no place for the buffer");
        return DM_FAILURE;
    }
    for (_DMbuffer &b : pool->buffers)
        if (b.holders == 0) {
            b.holders = 1;
            b.size = 0;
            *buffer = &b;
            return DM_SUCCESS;
        }
    dmSetError(DM_ERR_NO_BUFFER, "no free buffer in the pool (%zu in use)",
               pool->buffers.size());
    return DM_FAILURE;
}

DMstatus dmBufferAttach(DMbuffer buffer)
{
    if (buffer == nullptr || buffer->holders <= 0) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "buffer not allocated");
        return DM_FAILURE;
    }
    ++buffer->holders;
    return DM_SUCCESS;
}

DMstatus dmBufferFree(DMbuffer buffer)
{
    if (buffer == nullptr || buffer->holders <= 0) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "buffer not allocated");
        return DM_FAILURE;
    }
    --buffer->holders;
    return DM_SUCCESS;
}

void *dmBufferMapData(DMbuffer buffer)
{
    return buffer != nullptr ? buffer->data.data() : nullptr;
}

size_t dmBufferGetSize(DMbuffer buffer)
{
    return buffer != nullptr ? buffer->size : 0;
}

size_t dmBufferGetAllocSize(DMbuffer buffer)
{
    return buffer != nullptr ? buffer->data.size() : 0;
}

DMstatus dmBufferSetSize(DMbuffer buffer, size_t size)
{
    if (buffer == nullptr || size > buffer->data.size()) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "size beyond the buffer");
        return DM_FAILURE;
    }
    buffer->size = size;
    return DM_SUCCESS;
}
