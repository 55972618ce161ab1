#include "engine/scene/ResourceControllerFile.h"

#include "engine/core/Endian.h"
#include "engine/scene/SceneFile.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <utility>

bool CResourceControllerFile::ParseAsFarAsItGoes(const void* data, size_t size)
{
    scene_file::Reader in(data, size);
    u32 value = 0;
    if (!in.U32(value)) return false;
    header = value;
    records.clear();
    ended = false;
    for (;;) {
        char record[kRecordSize];
        if (!in.Take(record, kRecordSize)) return true;
        const void* end = std::memchr(record, 0, kRecordSize);
        if (!end) return true;
        if (std::strcmp(record, kEndRecord) == 0) break;
        records.emplace_back(record, size_t(static_cast<const char*>(end) - record));
    }
    ended = true;
    return true;
}

bool CResourceControllerFile::Parse(const void* data, size_t size)
{
    CResourceControllerFile list;
    if (!list.ParseAsFarAsItGoes(data, size) || !list.ended) return false;
    *this = std::move(list);
    return true;
}

bool CResourceControllerFile::Read(const char* path)
{
    std::string bytes;
    return path && host::kernel::ReadWholeFile(path, bytes) && ParseAsFarAsItGoes(bytes.data(), bytes.size());
}

bool CResourceControllerFile::Build(std::string& out) const
{
    scene_file::Sink sink;
    if (!scene_file::WriteU32(sink, header)) return false;
    for (const std::string& record : records) {
        if (record.find('\0') != std::string::npos || !WriteRecord(sink, record.c_str())) return false;
    }
    if (!WriteRecord(sink, kEndRecord)) return false;
    out = sink.Bytes();
    return true;
}

bool CResourceControllerFile::WriteRecord(host::kernel::File& file, const char* text)
{
    if (!text) return false;
    const size_t length = std::strlen(text);
    if (length >= kRecordSize) return false;
    char record[kRecordSize] = {};
    std::memcpy(record, text, length);
    return file.Write(record, kRecordSize) == kRecordSize;
}
