// CWavReader: a RIFF WAVE file read from disk or from bytes in memory; the
// parts of multimedia I/O the sound buffers use. It finds the format and the
// PCM ("data") chunk, reads the chunk whole for static sounds, and serves
// streamed sounds a piece at a time, going back to the start of the chunk
// at its end.
//
// WAV files come from outside the program: every chunk size is checked
// against what is left of the file (not the RIFF size, which writers that
// add chunks may leave short), and a damaged file is refused. Only
// the "data" chunk may run past the end of the file (files written while
// their sound was made have one): its data is what the file holds.
#pragma once

#include "engine/core/Types.h"

#include <memory>
#include <vector>

namespace host::kernel { class File; }

// The sound format record (WAVEFORMATEX) with its extra bytes.
struct SoundFormat {
    u16 formatTag = 0;
    u16 channels = 0;
    u32 samplesPerSec = 0;
    u32 avgBytesPerSec = 0;
    u16 blockAlign = 0;
    u16 bitsPerSample = 0;
    u16 extraSize = 0;
    std::vector<u8> extra;   // extraSize bytes after the 18-byte record
};

class CWavReader {
public:
    CWavReader() = default;
    CWavReader(const CWavReader&) = delete;
    CWavReader& operator=(const CWavReader&) = delete;
    ~CWavReader();

    // 1, or 0 when the file cannot be opened.
    u32 OpenFile(const char* path);
    // Reads size bytes at data. A non-null ownedBlock (an AlignedAlloc block,
    // normally data itself) is freed with the reader; otherwise the caller
    // keeps data alive as long as the reader.
    u32 OpenMemory(const void* data, u32 size, void* ownedBlock);
    void Close();

    // Finds RIFF "WAVE", its "fmt " chunk (at least 16 bytes; extra bytes
    // kept for any tag but PCM) and the "data" chunk after it, and stands at
    // the first data byte. A partial last frame is left out of the data.
    // 1, or 0 for a damaged or unusable file.
    u32 ParseHeader(SoundFormat* format);
    u32 GetDataSize() const { return m_dataSize; }
    // 1 when the "data" chunk's size runs past the end of the file: the
    // data size is then what the file holds.
    u32 IsDataCutShort() const { return m_dataCutShort; }

    // Reads size bytes from the position in the data chunk; 1 when all were
    // read (static sounds read the chunk whole this way).
    u32 Read(void* out, u32 size);
    // Fills size bytes from the data chunk, starting over from its first
    // byte whenever its end is reached. size, or 0 when reading fails or
    // the chunk is empty.
    u32 ReadData(void* out, u32 size);
    // Back to the first data byte. 1/0.
    u32 Rewind();

private:
    // Bytes read at an absolute offset: fewer at the end or on error.
    u32 ReadAt(u64 offset, void* out, u32 bytes);
    // Finds the chunk id among the chunks in [start, end): its data offset
    // and size, which the caller checks. 0 when absent or when a chunk
    // before it runs past end.
    u32 FindChunk(u64 start, u64 end, u32 id, u64* dataOffset, u32* size);

    std::unique_ptr<host::kernel::File> m_file;
    const u8* m_memory = nullptr;
    void* m_ownedBlock = nullptr;
    u64 m_size = 0;
    u64 m_dataOffset = 0;
    u32 m_dataSize = 0;
    u32 m_dataPosition = 0;   // bytes of the chunk already read
    u32 m_dataCutShort = 0;
    u32 m_open = 0;
};
