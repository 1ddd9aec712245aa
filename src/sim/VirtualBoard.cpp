// Placeholder so that everything links while the board is being written.
#include "VirtualBoard.h"

namespace hc12::sim {
struct VirtualBoard::Impl {
    BoardOptions options;
    std::vector<FrameRecord> log;
};
std::optional<BoardOptions> ParseBoardOptions(const std::string&, std::string*) {
    return BoardOptions{};
}
VirtualBoard::VirtualBoard(Clock&, BoardOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
}
VirtualBoard::~VirtualBoard() = default;
std::unique_ptr<SerialPort> VirtualBoard::OpenPort() { return nullptr; }
const std::vector<FrameRecord>& VirtualBoard::FrameLog() const { return impl_->log; }
void VirtualBoard::ClearFrameLog() {}
uint8_t VirtualBoard::Peek(uint16_t) const { return 0; }
void VirtualBoard::Poke(uint16_t, uint8_t) {}
uint16_t VirtualBoard::EepromStart() const { return 0; }
uint32_t VirtualBoard::EepromSize() const { return 0; }
const BoardOptions& VirtualBoard::Options() const { return impl_->options; }
}  // namespace hc12::sim
