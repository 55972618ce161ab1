#include "game/network/LobbyLogin.h"

#include "host/kernel/Kernel.h"

#include <cstring>

namespace lobby_screen {

void PutTextField(u8* field, u32 size, std::string_view text)
{
    if (!field || size == 0) return;
    std::memset(field, 0, size);
    const size_t keep = host::kernel::Cp932Fit(text.substr(0, text.find('\0')), size - 1);
    std::memcpy(field, text.data(), keep);
}

std::string FieldText(const u8* field, u32 size)
{
    if (!field) return {};
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

void WriteLoginBlock(const LoginBlock& block, u8 (&out)[lobby::kLoginBytes])
{
    PutTextField(out, kLoginIdBytes, block.id);
    PutTextField(out + kLoginPasswordAt, kLoginPasswordBytes, block.password);
    lobby::PutLe32(out + kLoginWordAt, block.word);
    lobby::PutLe16(out + kLoginPortAt, block.port);
    lobby::PutLe32(out + kLoginAddressAt, block.address);
}

LoginBlock ReadLoginBlock(const u8 (&in)[lobby::kLoginBytes])
{
    LoginBlock block;
    block.id = FieldText(in, kLoginIdBytes - 1);
    block.password = FieldText(in + kLoginPasswordAt, kLoginPasswordBytes - 1);
    block.word = lobby::Le32(in + kLoginWordAt);
    block.port = lobby::Le16(in + kLoginPortAt);
    block.address = lobby::Le32(in + kLoginAddressAt);
    return block;
}

}  // namespace lobby_screen
