#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Where the box's output goes: the pseudo-terminal in the running simulator,
// a string in tests. Only the box's thread writes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Sends the bytes to the tool, in order. False when they could not all be
  // sent (the tool closed the port, or the simulator is stopping); the caller
  // abandons the exchange it is in, since nobody is listening any more.
  virtual bool Write(const uint8_t* data, size_t size) = 0;

  bool Write(std::string_view text) {
    return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
};

// Collects everything written; for tests.
class StringSink : public ByteSink {
 public:
  using ByteSink::Write;
  bool Write(const uint8_t* data, size_t size) override {
    bytes_.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  const std::string& bytes() const { return bytes_; }
  // Returns what was written so far and forgets it.
  std::string Take() {
    std::string taken;
    taken.swap(bytes_);
    return taken;
  }

 private:
  std::string bytes_;
};
