// CResourceControllerFile: the resource list file (.grc), little-endian:
//
//   u32 header value
//   260-byte records, each a path as NUL-terminated text (the bytes after
//   the NUL carry no meaning)
//   a 260-byte end record holding "EOF"
//
// A list is read record by record as far as it goes: the whole records
// before a record cut short, a record whose text does not end inside its
// 260 bytes, or the end of the file; bytes after the end record are not
// read.
#pragma once

#include "engine/core/Types.h"

#include <cstddef>
#include <string>
#include <vector>

namespace host::kernel { class File; }

class CResourceControllerFile {
public:
    static constexpr u32 kRecordSize = 260;
    static constexpr const char* kEndRecord = "EOF";

    u32 header = 0;
    // The records before the end record, in file order.
    std::vector<std::string> records;
    // Whether the end record was reached.
    bool ended = false;

    // Takes the header and the records as far as the bytes go, replacing
    // what this held; false (this unchanged) only when the header is cut.
    bool ParseAsFarAsItGoes(const void* data, size_t size);
    // Takes a whole list, end record included; false (this unchanged) when
    // it is damaged.
    bool Parse(const void* data, size_t size);
    // As far as it goes from the file at path; false also when it cannot be
    // read.
    bool Read(const char* path);
    // The list's bytes, end record included; false when a record does not
    // fit its 260 bytes with its NUL.
    bool Build(std::string& out) const;

    // One record of text, zero-padded; false when the text is null, does
    // not fit or cannot be written.
    static bool WriteRecord(host::kernel::File& file, const char* text);
};
