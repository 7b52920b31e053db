#pragma once
// Reads typed values off a fuzzer's byte stream; past the end every read gives zeros.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace quarvel::fuzzing {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  void Bytes(void* out, std::size_t n) {
    auto* o = static_cast<uint8_t*>(out);
    for (std::size_t i = 0; i < n; ++i) o[i] = pos_ < size_ ? data_[pos_++] : 0;
  }
  uint8_t Byte() {
    uint8_t b = 0;
    Bytes(&b, 1);
    return b;
  }
  uint16_t Word() {
    uint16_t w = 0;
    Bytes(&w, 2);
    return w;
  }
  double Double() {
    double d = 0;
    Bytes(&d, sizeof d);
    return d;
  }
  // Any 80-bit pattern: NaNs, unnormals and denormals included.
  long double Extended() {
    long double v = 0;
    Bytes(&v, 10);
    return v;
  }
  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(data_ + std::min(pos_, size_)),
                  size_ - std::min(pos_, size_));
    pos_ = size_;
    return s;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace quarvel::fuzzing
