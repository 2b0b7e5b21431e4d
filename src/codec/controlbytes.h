#pragma once
// The control bytes of the sign protocols by their standard names.

namespace telvaro::ControlByte {

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ENQ = 0x05;
constexpr char SI = 0x0F;
constexpr char ESC = 0x1B;

} // namespace telvaro::ControlByte
