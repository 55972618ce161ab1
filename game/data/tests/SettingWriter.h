// Settings texts for tests: one "KEY=value;" a line. Floats carry nine
// significant digits, so every f32 reads back to its own bits.
#pragma once

#include "engine/core/Types.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace setting_test {

class SettingWriter {
public:
    SettingWriter& Set(std::string_view key, std::string_view value)
    {
        m_text.append(key).append("=").append(value).append(";\n");
        return *this;
    }
    SettingWriter& Set(std::string_view key, const char* value) { return Set(key, std::string_view(value)); }
    SettingWriter& Set(std::string_view key, f32 value)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", double(value));
        return Set(key, std::string_view(buffer));
    }
    SettingWriter& Set(std::string_view key, i32 value) { return Set(key, std::string_view(std::to_string(value))); }

    const std::string& Text() const { return m_text; }
    bool Save(const std::string& path) const { return host::kernel::WriteFileAtomic(path, m_text.data(), m_text.size()); }

private:
    std::string m_text;
};

}  // namespace setting_test
