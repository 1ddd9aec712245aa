// What a production run adds to the run of one command on one port: the unit's
// serial number, kept bytes and backup before its write, what became of the write,
// and the serial field in a verify. The single run of the command line has none.
#pragma once

#include <cstdint>

namespace hc12 {
class Programmer;
}

namespace hc12::cli {

class TerminalView;

class UnitHooks {
  public:
    virtual ~UnitHooks() = default;
    // The run's view and programmer, before anything is opened.
    virtual void Attach(TerminalView& view, Programmer& programmer) = 0;
    // Connected, and the image is in the page: anything but 0 (an exit status)
    // leaves the unit unwritten.
    virtual int BeforeWrite() = 0;
    // The write ended with `status`; returns the unit's status (worse when what
    // the write did could not be recorded).
    virtual int AfterWrite(int status) = 0;
    // verify: whether the image's byte at this page offset is compared.
    virtual bool Compares(uint32_t offset) = 0;
    // verify: the EEPROM was read into the page.
    virtual void AfterVerifyRead() = 0;
    // The run is over: the view and the programmer go.
    virtual void Detach() = 0;
};

}  // namespace hc12::cli
