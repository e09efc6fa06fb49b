// Little-endian reading and writing of fixed-size numbers, in packets and in
// kept games.
// Every multi-byte number on the wire is little-endian, whatever the host.
#pragma once

#include <cstdint>

namespace tessaro {

// Appends the four bytes of `value`, lowest first, to any byte container.
template <typename Bytes>
void AppendUint32LE(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<typename Bytes::value_type>((value >> shift) & 0xFFu));
  }
}

template <typename Bytes>
void AppendUint16LE(Bytes& out, uint16_t value) {
  out.push_back(static_cast<typename Bytes::value_type>(value & 0xFFu));
  out.push_back(static_cast<typename Bytes::value_type>((value >> 8) & 0xFFu));
}

// `bytes` must hold at least four (or two) readable bytes.
inline uint32_t ReadUint32LE(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

inline uint16_t ReadUint16LE(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Two's complement reinterpretation; well defined since C++20.
inline int32_t ReadInt32LE(const uint8_t* bytes) {
  return static_cast<int32_t>(ReadUint32LE(bytes));
}

inline int16_t ReadInt16LE(const uint8_t* bytes) {
  return static_cast<int16_t>(ReadUint16LE(bytes));
}

}  // namespace tessaro
