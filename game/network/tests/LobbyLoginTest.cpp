#include "game/network/LobbyLogin.h"
#include "host/net/Net.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace lobby_screen;

TEST(LobbyLogin, BlockIsWrittenFieldByField)
{
    LoginBlock block;
    block.id = "alice";
    block.password = "pw";
    block.word = 0x04030201;
    block.port = 18000;
    block.address = host::net::MakeAddress(127, 0, 0, 2);
    u8 out[lobby::kLoginBytes];
    std::memset(out, 0xCC, sizeof out);
    WriteLoginBlock(block, out);
    u8 golden[lobby::kLoginBytes] = {'a', 'l', 'i', 'c', 'e'};
    golden[33] = 'p';
    golden[34] = 'w';
    const u8 tail[] = {0x01, 0x02, 0x03, 0x04, 0x50, 0x46, 127, 0, 0, 2};
    std::memcpy(golden + 50, tail, sizeof tail);
    EXPECT_EQ(0, std::memcmp(out, golden, sizeof out));
    const LoginBlock back = ReadLoginBlock(out);
    EXPECT_EQ(back.id, "alice");
    EXPECT_EQ(back.password, "pw");
    EXPECT_EQ(back.word, block.word);
    EXPECT_EQ(back.port, block.port);
    EXPECT_EQ(back.address, block.address);
}

TEST(LobbyLogin, LongTextsStayInsideTheirFields)
{
    struct Case {
        std::string id, password;
        size_t idKept, passwordKept;
    };
    const std::string wide = "\x82\xA0";   // one double-byte character
    const Case cases[] = {
        {std::string(40, 'i'), std::string(20, 'p'), 32, 16},
        {std::string(31, 'i') + wide, std::string(15, 'p') + wide, 31, 15},   // no half character
        {std::string(30, 'i') + wide, std::string(14, 'p') + wide, 32, 16},
        {"", "", 0, 0},
    };
    for (const Case& c : cases) {
        LoginBlock block;
        block.id = c.id;
        block.password = c.password;
        block.port = 0xFFFF;
        u8 out[lobby::kLoginBytes];
        WriteLoginBlock(block, out);
        EXPECT_EQ(out[32], 0) << c.id;
        EXPECT_EQ(out[49], 0) << c.password;
        const LoginBlock back = ReadLoginBlock(out);
        EXPECT_EQ(back.id, c.id.substr(0, c.idKept));
        EXPECT_EQ(back.password, c.password.substr(0, c.passwordKept));
        EXPECT_EQ(back.port, 0xFFFF);   // the texts never reach the port
    }
}

TEST(LobbyLogin, FieldTextNeverReadsPastItsField)
{
    u8 field[4] = {'a', 'b', 'c', 'd'};   // no terminator
    EXPECT_EQ(FieldText(field, 4), "abcd");
    EXPECT_EQ(FieldText(nullptr, 4), "");
}
