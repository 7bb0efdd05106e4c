#include "pvoc.h"

#include "genutils.h"

#include <misc/byteorder.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

const char *PVProgName = nullptr;

namespace {

const int fixedWords = PV_FIXED_BYTES / 4;

long fileLength(FILE *file)
{
    struct stat st;
    if (fstat(fileno(file), &st) != 0)
        return -1;
    return (long)st.st_size;
}

// Writes count host-order words as big-endian ones.
bool writeBigEndian(FILE *file, const void *words, size_t count)
{
    unsigned char chunk[16384];
    const unsigned char *p = (const unsigned char *)words;
    while (count > 0) {
        size_t n = count < sizeof chunk / 4 ? count : sizeof chunk / 4;
        memcpy(chunk, p, n * 4);
        qvByteOrder::bigEndianWords(chunk, n);
        if (fwrite(chunk, 4, n, file) != n)
            return false;
        p += n * 4;
        count -= n;
    }
    return true;
}

} // namespace

const char *PVErrMsg(long code)
{
    switch (code) {
    case PVE_OK: return "No PV error";
    case PVE_NOPEN: return "Cannot open PV file";
    case PVE_NPV: return "Object/file not PVOC";
    case PVE_MALLOC: return "No memory for PVOC";
    case PVE_RDERR: return "Error reading PVOC file";
    case PVE_WRERR: return "Error writing PVOC file";
    }
    static char text[40];
    char number[8];
    snprintf(number, sizeof number, "%ld", code);
    snprintf(text, sizeof text, "Unspecified error : %s", number);
    return text;
}

void PVDie(long code, const char *text)
{
    const char *name = PVProgName ? PVProgName : program_invocation_short_name;
    if (text && *text)
        fprintf(stderr, "%s: error: %s (%s)\n", name, PVErrMsg(code), text);
    else
        fprintf(stderr, "%s: error: %s\n", name, PVErrMsg(code));
    exit(1);
}

long PVReadHdr(FILE *file, PVSTRUCT *header)
{
    if (fseek(file, 0L, SEEK_SET) != 0)
        return PVE_RDERR;
    long got = (long)fread(header, 1, PV_HEADER_BYTES, file);
    if (got < PV_HEADER_BYTES) {
        fprintf(stderr, "PVRdH: wanted %ld got %ld\n", (long)PV_HEADER_BYTES, got);
        return PVE_RDERR;
    }
    qvByteOrder::bigEndianWords(header, fixedWords);
    if (header->magic != PV_MAGIC || header->headBsize < PV_HEADER_BYTES)
        return PVE_NPV;
    return PVE_OK;
}

FILE *PVOpenAllocRdHdr(const char *path, PVSTRUCT **header)
{
    *header = nullptr;
    FILE *file = fopen(path, "rb");
    if (!file)
        return nullptr;
    PVSTRUCT fixed;
    if (PVReadHdr(file, &fixed) != PVE_OK || fixed.headBsize > fileLength(file)) {
        fclose(file);
        return nullptr;
    }
    // One byte more than the header keeps the info text terminated.
    char *block = (char *)Mymalloc(fixed.headBsize + 1, 1, "PVOpenAllocRdHdr");
    memcpy(block, &fixed, PV_HEADER_BYTES);
    const size_t rest = (size_t)fixed.headBsize - PV_HEADER_BYTES;
    if (fread(block + PV_HEADER_BYTES, 1, rest, file) != rest) {
        Myfree(block);
        fclose(file);
        return nullptr;
    }
    *header = (PVSTRUCT *)block;
    return file;
}

long PVAlloc(PVSTRUCT **header, long dataBsize, long infoBsize)
{
    *header = nullptr;
    if (infoBsize < 4)
        infoBsize = 4;
    infoBsize = (infoBsize + 3) / 4 * 4;
    const long data = dataBsize > 0 ? dataBsize : 0;
    if (infoBsize > 0x7fffff00L - PV_FIXED_BYTES)
        return PVE_MALLOC;
    PVSTRUCT *block = (PVSTRUCT *)calloc((size_t)(PV_FIXED_BYTES + infoBsize + data + 1), 1);
    if (!block)
        return PVE_MALLOC;
    block->magic = PV_MAGIC;
    block->headBsize = (int32_t)(PV_FIXED_BYTES + infoBsize);
    block->dataBsize = (int32_t)dataBsize;
    *header = block;
    return PVE_OK;
}

void PVFree(PVSTRUCT *header) { free(header); }

float *PVDataPtr(PVSTRUCT *header) { return (float *)((char *)header + header->headBsize); }

long PVWriteHdr(FILE *file, PVSTRUCT *header)
{
    if (header->magic != PV_MAGIC)
        return PVE_NPV;
    if (fseek(file, 0L, SEEK_SET) != 0)
        return PVE_RDERR;
    PVSTRUCT fixed;
    memcpy(&fixed, header, PV_HEADER_BYTES);
    qvByteOrder::bigEndianWords(&fixed, fixedWords);
    if (fwrite(&fixed, 1, PV_FIXED_BYTES, file) != PV_FIXED_BYTES)
        return PVE_WRERR;
    const size_t rest = (size_t)header->headBsize - PV_FIXED_BYTES;
    if (fwrite(header->info, 1, rest, file) != rest)
        return PVE_WRERR;
    return PVE_OK;
}

FILE *PVOpenWrHdr(const char *path, PVSTRUCT *header)
{
    FILE *file = fopen(path, "w+b");
    if (!file)
        return nullptr;
    if (PVWriteHdr(file, header) != PVE_OK) {
        fclose(file);
        return nullptr;
    }
    return file;
}

long PVCloseWrHdr(FILE *file, PVSTRUCT *header)
{
    if (header->dataBsize == 0 || header->dataBsize == -1)
        header->dataBsize = (int32_t)(ftell(file) - header->headBsize);
    long code = PVWriteHdr(file, header);
    if (fclose(file) != 0 && code == PVE_OK)
        code = PVE_WRERR;
    return code;
}

long PVWriteFile(const char *path, PVSTRUCT *header)
{
    FILE *file = fopen(path, "wb");
    if (!file)
        return PVE_NOPEN;
    long code = PVWriteHdr(file, header);
    if (code == PVE_OK && header->dataBsize > 0 &&
        !writeBigEndian(file, PVDataPtr(header), (size_t)header->dataBsize / 4))
        code = PVE_WRERR;
    if (fclose(file) != 0 && code == PVE_OK)
        code = PVE_WRERR;
    return code;
}

long PVReadFile(const char *path, PVSTRUCT **header)
{
    *header = nullptr;
    PVSTRUCT *head = nullptr;
    FILE *file = PVOpenAllocRdHdr(path, &head);
    if (!file)
        return PVE_NOPEN;
    const long length = fileLength(file);
    long wanted = head->dataBsize >= 0 ? head->dataBsize : length - head->headBsize;
    const long available = length - head->headBsize;
    if (wanted > available) {
        // The block is never larger than the file can fill.
        fprintf(stderr, "PVRead: wanted %ld got %ld\n", wanted, available);
        Myfree(head);
        fclose(file);
        return PVE_RDERR;
    }
    char *block = (char *)calloc((size_t)(head->headBsize + wanted + 1), 1);
    if (!block) {
        Myfree(head);
        fclose(file);
        return PVE_MALLOC;
    }
    memcpy(block, head, (size_t)head->headBsize);
    Myfree(head);
    PVSTRUCT *whole = (PVSTRUCT *)block;
    long got = (long)fread(block + whole->headBsize, 1, (size_t)wanted, file);
    fclose(file);
    if (got < wanted) {
        fprintf(stderr, "PVRead: wanted %ld got %ld\n", wanted, got);
        free(block);
        return PVE_RDERR;
    }
    whole->dataBsize = (int32_t)wanted;
    qvByteOrder::bigEndianWords(block + whole->headBsize, (size_t)wanted / 4);
    *header = whole;
    return PVE_OK;
}
