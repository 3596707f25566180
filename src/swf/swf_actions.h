// Action records carried by DoAction tags. Each writes its action code and, for codes of
// 0x80 and above, a u16 length followed by its payload.
#pragma once

#include "swf/swf_stream.h"

#include <cstdint>
#include <string>
#include <utility>

namespace kestrova::swf {

// SWF action codes written by the library.
enum SwfActionCode : uint8_t {
    kActionPlay = 0x06,
    kActionStop = 0x07,
    kActionStopSounds = 0x09,
    kActionDivide = 0x0D,
    kActionGetProperty = 0x22,
    kActionGotoFrame = 0x81,
    kActionWaitForFrame2 = 0x8D,
    kActionPush = 0x96,
};

class CSwfAction {
public:
    virtual ~CSwfAction() = default;
    virtual void Write(CSwfStream& s) const = 0;
};

// An action made of its code alone.
class CSwfCodeOnlyAction : public CSwfAction {
public:
    explicit CSwfCodeOnlyAction(uint8_t code) : code(code) {}
    void Write(CSwfStream& s) const override { s.WriteU8(code); }

private:
    uint8_t code;
};

class CSwfActionPlay : public CSwfCodeOnlyAction {
public:
    CSwfActionPlay() : CSwfCodeOnlyAction(kActionPlay) {}
};

class CSwfActionStop : public CSwfCodeOnlyAction {
public:
    CSwfActionStop() : CSwfCodeOnlyAction(kActionStop) {}
};

class CSwfActionStopSounds : public CSwfCodeOnlyAction {
public:
    CSwfActionStopSounds() : CSwfCodeOnlyAction(kActionStopSounds) {}
};

class CSwfActionDivide : public CSwfCodeOnlyAction {
public:
    CSwfActionDivide() : CSwfCodeOnlyAction(kActionDivide) {}
};

class CSwfActionGetProperty : public CSwfCodeOnlyAction {
public:
    CSwfActionGetProperty() : CSwfCodeOnlyAction(kActionGetProperty) {}
};

// An action with a fixed-size payload of one u8 or one u16 (signed values as two's
// complement).
class CSwfSmallAction : public CSwfAction {
public:
    CSwfSmallAction(uint8_t code, uint32_t value, uint32_t payloadBytes)
        : code(code), value(value), payloadBytes(payloadBytes) {}
    void Write(CSwfStream& s) const override;

private:
    uint8_t code;
    uint32_t value;
    uint32_t payloadBytes;
};

class CSwfActionGotoFrame : public CSwfSmallAction {
public:
    explicit CSwfActionGotoFrame(uint16_t frameIndex)
        : CSwfSmallAction(kActionGotoFrame, frameIndex, 2) {}
};

class CSwfActionWaitForFrame2 : public CSwfSmallAction {
public:
    explicit CSwfActionWaitForFrame2(uint8_t skipCount)
        : CSwfSmallAction(kActionWaitForFrame2, skipCount, 1) {}
};

// Pushes one string.
class CSwfActionPush : public CSwfAction {
public:
    explicit CSwfActionPush(std::string value) : value(std::move(value)) {}
    void Write(CSwfStream& s) const override;

private:
    std::string value;
};

} // namespace kestrova::swf
