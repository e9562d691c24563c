// The fixed 8-byte reports exchanged with the receiver, command byte first.
#pragma once

#include <array>
#include <cstdint>

struct ReceiverReport
{
    static constexpr std::uint8_t kReadCommand = 0xFC;
    static constexpr std::uint8_t kFactoryResetCommand = 0x00;
    static constexpr std::uint8_t kWriteKeyCommand = 0xFF;
    static constexpr std::uint8_t kCommitCommand = 0xFE;

    std::array<std::uint8_t, 8> bytes{};

    std::uint8_t* data() { return bytes.data(); }
    const std::uint8_t* data() const { return bytes.data(); }
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
    bool operator==(const ReceiverReport&) const = default;

    static ReceiverReport ReadRequest();
    // Eight zero bytes: the receiver restores its factory table.
    static ReceiverReport FactoryResetRequest();
    // factoryKeyCode is the slot's factory code, whatever key is being written:
    // the receiver identifies the slot by it as well as by its number.
    static ReceiverReport WriteKeyRequest(std::uint8_t tableSize, std::uint8_t slot,
                                          std::uint8_t factoryKeyCode, std::uint8_t modifiers,
                                          std::uint8_t keyCode);
    static ReceiverReport CommitRequest();
};
