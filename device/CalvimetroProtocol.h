#pragma once

#include <cstdint>

// What the host and the calvimetro agree on: USB identity, pipes, exchanges, time-outs
// and the geometry of a scan line. Shared by the acquisition thread and the device
// stand-ins (simulated calvimetro, USB emulators in tests).
namespace CalvimetroProtocol {

inline constexpr uint16_t vendorId = 0x04D8;
inline constexpr uint16_t productId = 0xFBB7;
inline constexpr int interfaceNumber = 0;
inline constexpr unsigned char endpointOut = 0x01;
inline constexpr unsigned char endpointIn = 0x81;

// Every exchange is a 2-byte request followed by one reply.
inline constexpr int requestLength = 2;
// A probe that takes no request ends the exchange as a failed transfer.
inline constexpr unsigned int writeTimeoutMs = 1000;
inline constexpr unsigned int readTimeoutMs = 5000;

// Info request: 0x00 0x03, up to 128 bytes of text (one character per 16-bit unit).
inline constexpr unsigned char infoCommand0 = 0x00;
inline constexpr unsigned char infoCommand1 = 0x03;
inline constexpr int infoReplyLength = 128;

// Block request: gain byte, 0x01; the reply is one 2048-byte block. While waiting for the
// button the gain byte is 0xA0.
inline constexpr unsigned char blockCommand = 0x01;
inline constexpr unsigned char waitGain = 0xA0;
inline constexpr int blockSize = 2048;

// A block whose first ten bytes are 0x63 means the button is not pressed.
inline constexpr unsigned char idleByte = 0x63;
inline constexpr int idlePatternLength = 10;

// Scan geometry: 1577 samples from 0 to 100 mm, sample 0 at byte `dpo` of a block.
inline constexpr int scanRealMaxIndex = 1577;
inline constexpr int maxScanLines = 903;
inline constexpr double mmPerSample = 0.0634375;
inline constexpr int liveLineSamples = (scanRealMaxIndex + 1) / 2;  // every second sample: 789
inline constexpr int maxDeviceOffset = blockSize - scanRealMaxIndex;  // 471: the line must fit the block

}  // namespace CalvimetroProtocol
