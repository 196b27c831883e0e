#pragma once
// Packet types, token identifiers and status bits of the tabular data stream.
#include <cstdint>

namespace sqlsim {

enum : uint8_t {
    kPacketBatch = 0x01,
    kPacketRpc = 0x03,
    kPacketReply = 0x04,
    kPacketAttention = 0x06,
    kPacketTransaction = 0x0E,
    kPacketLogin7 = 0x10,
    kPacketPrelogin = 0x12,
};

enum : uint8_t {
    kTokenColMetadata = 0x81,
    kTokenRow = 0xD1,
    kTokenDone = 0xFD,
    kTokenDoneProc = 0xFE,
    kTokenDoneInProc = 0xFF,
    kTokenError = 0xAA,
    kTokenInfo = 0xAB,
    kTokenLoginAck = 0xAD,
    kTokenFeatureExtAck = 0xAE,
    kTokenEnvChange = 0xE3,
    kTokenReturnStatus = 0x79,
    kTokenReturnValue = 0xAC,
};

enum : uint16_t {
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneCount = 0x0010,
    kDoneAttention = 0x0020,
};

constexpr uint16_t kCommandSelect = 0xC1;

// Raised when the client has gone; the connection ends quietly.
struct ConnectionClosed {};

} // namespace sqlsim
