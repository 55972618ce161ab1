// CSettingFileList<R>: the value of a key whose every occurrence names a
// child settings file, read by reader class R when the parent has loaded.
// After a text parse the names stand as written ("Stage01.txt"); after a
// cache read they are the cache names the text's were rewritten to
// ("Setting/Stage01.dat"), so either form loads the same children.
//
// Loaded children are read-only and shared: a file named twice, here or
// anywhere else in the same load, is read once (LoadSettingChild), and a
// copy of the list shares its children.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingLoad.h"

#include <memory>
#include <new>
#include <vector>

class CStatusKeyMap;

template <class R>
class CSettingFileList {
public:
    // Every value of such a key names a child file.
    using NamesSettingFiles = void;

    CSettingFileList() = default;
    // Copies the names and shares every loaded reader.
    CSettingFileList(const CSettingFileList& other) { CopyFrom(other); }
    CSettingFileList& operator=(const CSettingFileList& other)
    {
        if (this != &other) {
            Release();
            CopyFrom(other);
        }
        return *this;
    }
    virtual ~CSettingFileList() { Release(); }

    // Loads every named file as an R, in order, each file once per load.
    // The first file that fails ends the load with 0 (the ones before stay);
    // 1 when all loaded. Readers of an earlier load are dropped first.
    virtual i32 Load(const CStatusKeyMap* aliasTable)
    {
        ReleaseObjects();
        CSettingLoad load;
        for (const CString& name : m_names) {
            std::shared_ptr<const R> reader = LoadSettingChild<R>(name.GetText(), aliasTable);
            if (!reader || !Keep(std::move(reader))) return 0;
        }
        return 1;
    }
    // Deletes the names and the readers.
    virtual void Release()
    {
        ReleaseObjects();
        m_names.clear();
    }

    // Appends a file name; 0 when the list cannot grow.
    i32 AppendName(const char* name)
    {
        try {
            m_names.emplace_back(name);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return 1;
    }

    u32 GetNameCount() const { return u32(m_names.size()); }
    // Name index (its text may be null for an empty name); null past the end.
    const CString* GetName(u32 index) const { return index < m_names.size() ? &m_names[index] : nullptr; }
    u32 GetCount() const { return u32(m_objects.size()); }
    // Loaded reader index, or null past the end.
    const R* GetAt(u32 index) const { return index < m_objects.size() ? m_objects[index].get() : nullptr; }

private:
    bool Keep(std::shared_ptr<const R> reader)
    {
        try {
            m_objects.push_back(std::move(reader));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    void ReleaseObjects() { m_objects.clear(); }
    void CopyFrom(const CSettingFileList& other)
    {
        for (const CString& name : other.m_names) AppendName(name.GetText());
        for (const auto& reader : other.m_objects) Keep(reader);
    }

    std::vector<CString> m_names;
    std::vector<std::shared_ptr<const R>> m_objects;
};

// Each occurrence of the key appends one file name.
template <class R>
i32 StatusSetValue(CSettingFileList<R>& target, const char* value)
{
    return target.AppendName(value);
}

// A list has no text form: the buffer is returned unchanged.
template <class R>
char* StatusFormatValue(const CSettingFileList<R>&, char* buffer, u32)
{
    return buffer;
}
