// The board's end of a pseudo-terminal pair. The program opens the slave as it
// would open a serial device; the master runs in packet mode, so that a purge of
// the program's queues shows here as well as the bytes it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hc12::board {

class PtyLine {
  public:
    // Opens a pair; false with an error text.
    bool Open(std::string* error);
    ~PtyLine();

    const std::string& SlavePath() const { return slavePath_; }
    int fd() const { return master_; }

    struct Input {
        size_t size = 0;      // data bytes read into the buffer
        bool purged = false;  // the program discarded its input queue
        bool closed = false;  // no program has the slave open now
    };
    // Reads what is there (call when the descriptor is readable).
    Input Read(uint8_t* dest, size_t maxSize);
    // Writes to the program; bytes that find no room are dropped, as a full
    // input queue drops them.
    void Write(const uint8_t* data, size_t size);

  private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace hc12::board
