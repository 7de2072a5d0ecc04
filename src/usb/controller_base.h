// CControllerBase: the register-access interface of a camera controller, held
// (non-owning) by sensor objects and the device object. Twenty virtual
// operations in a fixed slot order; every one returns 0 and does nothing in
// the base. The real controller (CQorCy3Cam) overrides them all. Results are
// 1 for success and 0 for failure.
#pragma once

#include <cstdint>

namespace morvex {

class CControllerBase {
 public:
  virtual ~CControllerBase() = default;                                 // slot 0
  virtual int Reserved1() { return 0; }                                 // slot 1
  virtual int ReleaseStream() { return 0; }                             // slot 2
  virtual int SelectDevice(int /*table_index*/) { return 0; }           // slot 3
  virtual int ReadFpgaVersionWord(uint16_t* /*version*/) { return 0; }  // slot 4
  virtual int ReadReadyFlag(uint8_t* /*ready*/) { return 0; }           // slot 5
  virtual int SendRequestCC() { return 0; }                             // slot 6
  // Requests 0x30 / 0x31: `command` is the command code (an FPGA command or a
  // sensor bus address); at most 64 data bytes. The time-out is not used.
  virtual int WriteCommand(uint8_t /*command*/, const uint8_t* /*data*/, uint32_t /*length*/,
                           uint32_t /*timeout*/) {
    return 0;
  }  // slot 7
  virtual int ReadCommand(uint8_t /*command*/, uint8_t* /*data*/, uint32_t /*length*/, uint32_t /*timeout*/) {
    return 0;
  }                                                                                    // slot 8
  virtual int WriteRegister32(uint16_t /*address*/, uint32_t /*value*/) { return 0; }  // slot 9
  virtual int ReadRegister16(uint16_t /*address*/, uint32_t* /*value*/) { return 0; }  // slot 10
  virtual int WriteWordPair(uint16_t /*first*/, uint16_t /*second*/) { return 0; }     // slot 11
  virtual int ReadWord3F(uint32_t* /*value*/) { return 0; }                            // slot 12
  // FPGA registers hold bytes: the low 8 bits of `value` are written.
  virtual int WriteFpgaRegister(uint8_t /*reg*/, uint32_t /*value*/) { return 0; }  // slot 13
  virtual int ReadFpgaRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }   // slot 14
  virtual int WriteAuxRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }    // slot 15
  virtual int ReadAuxRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }    // slot 16
  virtual int WriteSromByte(uint16_t /*address*/, uint8_t /*value*/) { return 0; }  // slot 17
  virtual int ReadSromByte(uint16_t /*address*/, uint8_t* /*value*/) { return 0; }  // slot 18
  virtual int AbortStream() { return 0; }                                           // slot 19
};

}  // namespace morvex
